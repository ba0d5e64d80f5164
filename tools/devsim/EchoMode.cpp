#include <poll.h>

#include <vector>

#include "devsim/Modes.h"

namespace devsim {

int RunEcho(Session& session, const Options& /*options*/) {
    std::vector<uint8_t> buf(4096);
    while (!session.Stopped()) {
        if (!(session.Wait(POLLIN, -1) & POLLIN)) {
            continue;
        }
        const ssize_t n = session.ReadSome(buf.data(), buf.size());
        if (n < 0) {
            session.Error("reading the port failed");
            return kExitFailure;
        }
        // Not reading while the write waits for room holds the sender back instead of
        // losing bytes.
        if (n > 0 && !session.WriteAll(buf.data(), static_cast<size_t>(n), true)) {
            if (session.Stopped()) {
                break;
            }
        }
    }
    return kExitOk;
}

}  // namespace devsim
