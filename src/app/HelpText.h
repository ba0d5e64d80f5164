#pragma once

#include <QString>

namespace zenta {

// The built-in user guide shown by the help button (Chinese in both interface languages).
QString HelpText();

}  // namespace zenta
