// Runs a protocol state machine against a real program on the other end of a pty pair:
// the program gets the slave as its stdin and stdout, the test pumps the master with poll().
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "transfer/Transfer.h"

namespace zenta::test {

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it at destruction.
class TTempDir {
  public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::string& Path() const { return path_; }
    // A subfolder, created.
    std::string Sub(const std::string& name) const;

  private:
    std::string path_;
};

struct PeerResult {
    bool finished = false;  // the state machine ended within the time limit
    int exitStatus = -1;    // the program's exit status; -1 when it was killed
    // The program exited while the run still waited for an answer (lost in its exit flush).
    bool peerExitedFirst = false;
};

// Starts argv in `cwd` on a new pty in raw mode (stderr to cwd/peer.log), drives `run` with
// the master until the run ends and the program exits, at most limitMs in all.
PeerResult RunAgainstPeer(transfer::TTransfer& run, const std::vector<std::string>& argv,
                          const std::string& cwd, int limitMs = 120000);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& data);
// Reproducible bytes.
std::string RandomBytes(std::size_t n, std::uint32_t seed);

}  // namespace zenta::test
