#pragma once
// The file side of a transfer: where received bytes go and where sent bytes come from.

#include <cstddef>
#include <cstdint>
#include <string>

namespace zenta::transfer {

struct FileInfo {
    std::string name;        // a plain name, no folders
    std::int64_t size = -1;  // -1: not known (XMODEM)
    std::int64_t mtime = 0;  // seconds since 1970; 0: not known
};

class IReceiveSink {
  public:
    virtual ~IReceiveSink() = default;
    // Starts a file; false with `error` set when it cannot be created.
    virtual bool Open(const FileInfo& info, std::string& error) = 0;
    virtual bool Write(const std::uint8_t* data, std::size_t n, std::string& error) = 0;
    // Ends the file: a complete one gets its final name, an incomplete one keeps a name that
    // says it is partial. Returns where it went, for messages.
    virtual std::string Close(bool complete) = 0;
};

class ISendSource {
  public:
    virtual ~ISendSource() = default;
    // Opens the next file to send; false when there is none left or it cannot be opened
    // (then `error` is set).
    virtual bool Next(FileInfo& info, std::string& error) = 0;
    // Up to n bytes of the current file; 0 at its end; -1 on a read error.
    virtual long Read(std::uint8_t* data, std::size_t n, std::string& error) = 0;
};

}  // namespace zenta::transfer
