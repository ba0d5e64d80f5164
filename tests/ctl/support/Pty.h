#pragma once
// A pseudo-terminal pair for port tests: the test holds the master, the port
// under test opens the slave by name.

#include <string>

class TestPty {
  public:
    TestPty();
    ~TestPty();
    TestPty(const TestPty&) = delete;
    TestPty& operator=(const TestPty&) = delete;

    bool Ok() const { return master_ >= 0; }
    const std::string& SlaveName() const { return slave_; }
    // Writes to the slave's reader.
    bool Write(const std::string& bytes);
    // Output speed the slave side is configured to, read through the master; -1 on error.
    long SlaveSpeed() const;

  private:
    int master_ = -1;
    std::string slave_;
};
