// A pseudo-terminal pair for port tests: the engine opens the slave path, the test plays
// the device on the master side.
#pragma once

#include <string>

class TPty {
  public:
    TPty();
    ~TPty();
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    const std::string& SlavePath() const { return slave_; }
    int Master() const { return master_; }
    // Closes the master: to the slave this looks like an unplugged adapter.
    void CloseMaster();

    // Writes all of data, waiting for room as needed.
    void Send(const std::string& data);
    // Reads until count bytes arrived or timeoutMs passed.
    std::string Receive(std::size_t count, int timeoutMs = 2000);

  private:
    int master_ = -1;
    std::string slave_;
};
