#include "app/DisplayCheck.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#ifdef ZENTA_HAVE_XCB
#include <xcb/xcb.h>
#endif

namespace {

std::string Env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// The platforms Qt will try, in order: -platform, QT_QPA_PLATFORM, else its default.
std::vector<std::string> Platforms(int argc, char** argv) {
    std::string list;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            list = argv[i + 1];
        }
    }
    if (list.empty()) {
        list = Env("QT_QPA_PLATFORM");
    }
    if (list.empty()) {
        list = Env("XDG_SESSION_TYPE") == "wayland" ? "wayland;xcb" : "xcb";
    }
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        std::string name = list.substr(start, end - start);
        name = name.substr(0, name.find(':'));  // options follow a colon
        if (!name.empty()) {
            out.push_back(name);
        }
        start = end + 1;
    }
    return out;
}

// Keeps the connection it made in `held` (nullptr when none).
std::string X11Missing(void*& held) {
    const std::string display = Env("DISPLAY");
    if (display.empty()) {
        return "DISPLAY is not set";
    }
#ifdef ZENTA_HAVE_XCB
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        xcb_disconnect(c);
        return "cannot connect to display " + display;
    }
    held = c;
#else
    (void)held;
#endif
    return {};
}

std::string WaylandMissing() {
    std::string socket = Env("WAYLAND_DISPLAY");
    if (socket.empty()) {
        socket = "wayland-0";
    }
    if (socket[0] != '/') {
        socket = Env("XDG_RUNTIME_DIR") + "/" + socket;
    }
    struct stat st {};
    if (::stat(socket.c_str(), &st) != 0) {
        return "no Wayland display at " + socket;
    }
    return {};
}

}  // namespace

namespace zenta {

DisplayCheck::DisplayCheck(int argc, char** argv) {
    std::string why;
    for (const std::string& platform : Platforms(argc, argv)) {
        std::string missing;
        if (platform == "xcb") {
            missing = X11Missing(x11_);
        } else if (std::string_view(platform).starts_with("wayland")) {
            missing = WaylandMissing();
        }
        // Any other platform (offscreen, vnc, framebuffers) is the user's own choice.
        if (missing.empty()) {
            return;
        }
        why += (why.empty() ? "" : "; ") + missing;
    }
    missing_ = why.empty() ? "no platform named" : why;
}

DisplayCheck::~DisplayCheck() {
    Release();
}

void DisplayCheck::Release() {
#ifdef ZENTA_HAVE_XCB
    if (x11_ != nullptr) {
        xcb_disconnect(static_cast<xcb_connection_t*>(x11_));
    }
#endif
    x11_ = nullptr;
}

std::string NoDisplayMessage(const std::string& why) {
    return "zenta: no display to show the window on (" + why +
           ").\n"
           "Without a display, zenta --list lists the serial ports and "
           "zenta --flash FILE --port PORT programs an STM32; zenta --help tells more.\n";
}

}  // namespace zenta
