#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>

#include "app/core/CommandLine.h"
#include "app/core/HeadlessMain.h"

// The window lives in a module of its own: --flash, --list, --help and --version load only
// Qt Core and start like a small tool, which a script calling zenta in a loop feels.
namespace {

constexpr const char* kWindowModule = "zenta-window.so";

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) {
        return ".";
    }
    const std::string exe(path, static_cast<std::size_t>(n));
    return exe.substr(0, exe.find_last_of('/'));
}

int RunWindow(int argc, char* argv[]) {
    using WindowMain = int (*)(int, char**);
    const std::string folder = ProgramFolder();
    // Beside the program (build tree, a copy in a folder of its own), else where the
    // package installs it.
    const std::string places[] = {folder + "/" + kWindowModule,
                                  folder + "/" ZENTA_WINDOW_MODULE_DIR "/" + kWindowModule};
    std::string error = std::string(kWindowModule) + " is neither in " + folder + " nor in " +
                        folder + "/" ZENTA_WINDOW_MODULE_DIR;
    for (const std::string& path : places) {
        if (::access(path.c_str(), F_OK) != 0) {
            continue;
        }
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        const auto entry =
            module ? reinterpret_cast<WindowMain>(::dlsym(module, "zenta_window_main")) : nullptr;
        if (entry) {
            return entry(argc, argv);
        }
        const char* why = ::dlerror();
        error = why ? why : "zenta_window_main is missing in " + path;
        break;
    }
    std::fprintf(stderr, "zenta: cannot load the window: %s\n", error.c_str());
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    // Parsed before any window exists, so --help, --version and a bad value need no display
    // and never show half a window.
    const zenta::CommandLineResult cl = zenta::ParseCommandLine(argc, argv);
    // --flash and --list need no window and no display.
    if (zenta::IsHeadless(cl)) {
        return zenta::RunHeadless(cl);
    }
    if (cl.action != zenta::CommandLineResult::Action::Run) {
        std::FILE* out = cl.action == zenta::CommandLineResult::Action::Error ? stderr : stdout;
        std::fprintf(out, "%s\n", cl.text.toLocal8Bit().constData());
        return cl.exitCode;
    }
    return RunWindow(argc, argv);
}
