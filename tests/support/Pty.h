// A pseudo-terminal pair for port and window tests: the code under test opens the slave
// path, the test plays the device on the master side.
#pragma once

#include <cstddef>
#include <string>

namespace zenta::test {

class TPty {
  public:
    TPty();
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    bool Ok() const { return master_ >= 0 && !slave_.empty(); }
    const std::string& SlavePath() const { return slave_; }
    // Non-blocking; poll before reading.
    int Master() const { return master_; }
    // Closes the master: to the slave this looks like an unplugged adapter.
    void CloseMaster();

    // Writes all of data, waiting for room as needed; false on a write error.
    bool Send(const std::string& data);
    // Reads until count bytes arrived or timeoutMs passed.
    std::string Receive(std::size_t count, int timeoutMs = 2000);
    // Output speed the slave side is configured to, read through the master; -1 on error.
    long SlaveSpeed() const;

  private:
    int master_ = -1;
    std::string slave_;
};

// What the device side received, until `n` bytes arrived or the line stayed quiet for
// quietMs.
std::string ReadUntilQuiet(int fd, std::size_t n, int quietMs = 300);

}  // namespace zenta::test
