#pragma once
// Whether the window has a display to go on. Qt ends the process with an abort when its
// platform cannot connect, so the window asks first and explains instead.

#include <string>

namespace zenta {

// Empty when a window can be shown; otherwise why not, in a few words.
std::string MissingDisplay(int argc, char** argv);

// The whole message for a missing display, naming what works without one.
std::string NoDisplayMessage(const std::string& why);

}  // namespace zenta
