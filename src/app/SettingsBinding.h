#pragma once

#include <QString>

#include "app/core/SettingsFile.h"

class MainWindow;

namespace zenta {

// Path of the settings file the window reads and writes: MainWindow::SettingsFolder when
// set, else $ZENTA_CONFIG_DIR when set, else the program's folder.
QString WindowSettingsPath();

// What the settings file records, read from the window's live controls.
SettingsSnapshot SnapshotOfWindow(const MainWindow& window);

// Passes the value of one key the loader took on to the live controls, running their
// handlers as a user's change would.
void ApplySettingsKey(MainWindow& window, const SettingsSnapshot& s, SettingsKeyHit hit);

}  // namespace zenta
