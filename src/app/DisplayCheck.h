#pragma once
// Whether the window has a display to go on. Qt ends the process with an abort when its
// platform cannot connect, so the window asks first and explains instead.

#include <string>

namespace zenta {

class DisplayCheck {
  public:
    // Checks the platforms Qt will try (-platform, QT_QPA_PLATFORM, else its default).
    DisplayCheck(int argc, char** argv);
    ~DisplayCheck();
    DisplayCheck(const DisplayCheck&) = delete;
    DisplayCheck& operator=(const DisplayCheck&) = delete;

    // Empty when a window can be shown; otherwise why not, in a few words.
    const std::string& Missing() const { return missing_; }
    // Ends the probe's connection to the X server. Call once Qt has its own: an X server
    // without clients resets, and a connection made during the reset fails.
    void Release();

  private:
    void* x11_ = nullptr;
    std::string missing_;
};

// The whole message for a missing display, naming what works without one.
std::string NoDisplayMessage(const std::string& why);

}  // namespace zenta
