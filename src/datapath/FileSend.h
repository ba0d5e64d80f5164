#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zenta {

// Files are read whole into one buffer before they are sent; longer files are cut.
inline constexpr std::size_t kFileSendBufferSize = 33554432;
// A file goes out in blocks of this size, each one accepted before the next.
inline constexpr std::size_t kFileBlockSize = 256;

// The process-lifetime buffer shared by the file send and the programmer's file loading.
char* FileSendBuffer();

// Why a file could not be taken.
enum class FileReadError {
    None,
    Missing,       // no such file (or it went away between pick and use)
    NoPermission,  // the system refused to open it
    Folder,        // the name is a folder
    NotAFile,      // a device, pipe or socket: no length to send or preview
    ReadFailed,    // opened, but reading failed
};

struct FileRead {
    FileReadError error = FileReadError::None;
    int sysError = 0;         // errno of the failure, 0 when none
    std::int64_t length = 0;  // the file's full length
    std::size_t loaded = 0;   // bytes placed into the buffer (at most its capacity)
};

// Opens `path` read-only, so that a read-only file can be previewed and sent, and reads
// up to `capacity` bytes of it into `buffer`. Only regular files are taken: a folder
// or a device never blocks or sends anything.
FileRead ReadFileInto(const std::string& path, char* buffer, std::size_t capacity);

// Whole seconds a file of `length` bytes needs at `baud` with 10 bit times per byte;
// 0 when the rate is not known.
std::int64_t EstimateSeconds(std::int64_t length, std::int64_t baud);

// Progress after block k of `blocks` whole blocks: k*100/blocks + 1.
int BlockProgress(std::int64_t k, std::int64_t blocks);

// The port side of a file send.
class FileSendLink {
  public:
    virtual ~FileSendLink() = default;
    // Writes the bytes once the previous ones are accepted; returns how many the port
    // took, or -1 when the port failed.
    virtual std::int64_t Write(std::string_view bytes) = 0;
    // After a whole block: counters, status and progress, then one turn of the events.
    virtual void BlockSent(std::int64_t blockBytes, std::int64_t fileBytesSent, int progress) = 0;
    // A stop was asked for (checked after each block and after a write cut short).
    virtual bool StopRequested() = 0;
    // Bytes written outside a whole block: the remainder, or a block cut short.
    virtual void PartSent(std::int64_t bytes, std::int64_t fileBytesSent) = 0;
};

enum class FileSendOutcome { Completed, Stopped, WriteFailed };

struct FileSendResult {
    FileSendOutcome outcome = FileSendOutcome::Completed;
    std::int64_t sent = 0;  // bytes the port accepted
};

// A file send one write at a time, for a caller that waits for the port between writes
// without blocking (the window): Next() is the piece to write, Took() tells how much of it
// the port accepted and reports it to the link; a result ends the send.
class FileSendSteps {
  public:
    explicit FileSendSteps(std::string_view data);
    // The next piece to write: a whole block, then the remainder; empty when none is left.
    std::string_view Next() const;
    // The port took `n` bytes of Next() (-1: the port failed). The send's result once it
    // ended, else nothing.
    std::optional<FileSendResult> Took(std::int64_t n, FileSendLink& link);
    std::int64_t Sent() const { return result_.sent; }

  private:
    std::string_view data_;
    std::int64_t blocks_ = 0;
    std::int64_t block_ = 0;  // index of the next piece; blocks_ is the remainder
    FileSendResult result_;
};

// Sends `data` in whole blocks of kFileBlockSize, then the remainder. A stop request
// ends the send after the current block; a write the port cut short (a stop while
// the port held it back) ends it too, without failing.
FileSendResult SendFileBlocks(std::string_view data, FileSendLink& link);

}  // namespace zenta
