#pragma once

#include <QString>

// The built-in user guide shown by the help button (Chinese in both interface languages).
QString HelpText();
