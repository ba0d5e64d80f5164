#pragma once

#include <QString>

#include "app/core/SettingsFile.h"

class TForm1;

namespace zenta {

// Path of the settings file the window reads and writes: TForm1::SettingsFolder when
// set, else $ZENTA_CONFIG_DIR when set, else the program's folder.
QString WindowSettingsPath();

// What the settings file records, read from the window's live controls.
SettingsSnapshot SnapshotOfWindow(const TForm1& form);

// Passes the value of one key the loader took on to the live controls, running their
// handlers as a user's change would.
void ApplySettingsKey(TForm1& form, const SettingsSnapshot& s, SettingsKeyHit hit);

}  // namespace zenta
