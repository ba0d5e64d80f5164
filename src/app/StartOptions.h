#pragma once

#include "app/core/CommandLine.h"

class MainWindow;

// Hands the command line's choices to the window created next: the settings folder at
// once, the port, bit rate and language when its start-up has loaded the settings file.
void InstallStartOptions(const zenta::StartOptions& options);

// Start-up step between loading the settings and the language switch. Applies and then
// forgets the installed options, so a later window starts from its settings alone.
void ApplyStartOptions(MainWindow& window);

// The language the settings file records: the user's stored choice while --lang overrides
// it for this start, else the language box.
bool StoredLanguageIsEnglish(const MainWindow& window);
