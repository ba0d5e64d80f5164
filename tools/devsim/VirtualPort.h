#pragma once

#include <string>

namespace devsim {

// The master side of a pseudo-terminal whose slave is published as a symbolic link.
// The link is removed on destruction, unless something else has replaced it meanwhile.
class VirtualPort {
  public:
    VirtualPort() = default;
    ~VirtualPort();
    VirtualPort(const VirtualPort&) = delete;
    VirtualPort& operator=(const VirtualPort&) = delete;

    // Creates the pseudo-terminal (master non-blocking, slave raw at 9600) and the link.
    // A link left behind by an earlier run (pointing nowhere) is replaced; one that points
    // at an existing terminal only with `force`. On failure returns false and sets `error`.
    bool Create(const std::string& linkPath, bool force, std::string& error);

    void RemoveLink();

    // Unplug and replug: drops the link and the terminal (the program's side reads its
    // end), then publishes the same link on a new pseudo-terminal under the same master
    // descriptor number.
    bool Replug(std::string& error);

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slave_; }
    const std::string& LinkPath() const { return link_; }

  private:
    bool Publish(const std::string& linkPath, std::string& error) const;

    int master_ = -1;
    std::string slave_;
    std::string link_;
};

}  // namespace devsim
