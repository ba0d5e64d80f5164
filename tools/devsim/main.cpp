// devsim: a serial device on a pseudo-terminal, for trying and testing the terminal
// without hardware. See --help.

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "devsim/Modes.h"
#include "devsim/Options.h"
#include "devsim/Session.h"
#include "devsim/VirtualPort.h"

namespace {

int g_wakeWrite = -1;

void OnStopSignal(int) {
    const char c = 0;
    // Nothing to do if the pipe is full: a stop is already pending.
    [[maybe_unused]] ssize_t n = write(g_wakeWrite, &c, 1);
}

bool InstallStopHandlers(int wakeWrite) {
    g_wakeWrite = wakeWrite;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigaction(sig, &sa, nullptr) != 0) {
            return false;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    return true;
}

// The name it was started under: the package installs it as zenta-devsim.
std::string SelfName(const char* argv0) {
    std::string name = argv0 != nullptr ? argv0 : "";
    name = name.substr(name.rfind('/') + 1);
    return name.empty() ? "devsim" : name;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace devsim;
    const ParseResult parsed = ParseOptions(argc, argv);
    const std::string self = SelfName(argc > 0 ? argv[0] : nullptr);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "devsim: %s\nTry '%s --help'.\n", parsed.error.c_str(), self.c_str());
        return kExitUsage;
    }
    const Options& options = parsed.options;
    if (options.help) {
        std::string usage = UsageText();
        const std::string plain = "Usage: devsim ";
        if (usage.compare(0, plain.size(), plain) == 0) {
            usage.replace(7, 6, self);
        }
        std::fputs(usage.c_str(), stdout);
        return kExitOk;
    }

    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0 || !InstallStopHandlers(wake[1])) {
        std::perror("devsim: signal set-up");
        return kExitFailure;
    }

    int code = kExitFailure;
    {
        VirtualPort port;
        std::string error;
        if (!port.Create(options.link, options.force, error)) {
            std::fprintf(stderr, "devsim: %s\n", error.c_str());
            return kExitFailure;
        }
        Session session(port.MasterFd(), wake[0], options.quiet);
        session.Info(options.mode + " device on " + port.LinkPath() + " -> " + port.SlavePath());
        if (options.replugAfterMs > 0) {
            session.ScheduleReplug(options.replugAfterMs, [&port, &session] {
                std::string replugError;
                if (!port.Replug(replugError)) {
                    session.Error(replugError);
                    return false;
                }
                session.Info("replugged: " + port.LinkPath() + " -> " + port.SlavePath());
                return true;
            });
        }
        code = FindMode(options.mode)->run(session, options);
        // The link goes with `port` here, before the exit message.
    }
    return code;
}
