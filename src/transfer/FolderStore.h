#pragma once
// The file side on disk: received files land in one folder under free names, sent files are
// read from a list of paths.

#include <string>
#include <vector>

#include "transfer/FileStore.h"

namespace zenta::transfer {

// Writes each file as "<name>.part" and renames it to a free "<name>", "<name> (2)"...
// when it is complete; nothing existing is ever written over.
class TFolderSink : public IReceiveSink {
  public:
    explicit TFolderSink(std::string folder);
    ~TFolderSink() override;
    TFolderSink(const TFolderSink&) = delete;
    TFolderSink& operator=(const TFolderSink&) = delete;

    bool Open(const FileInfo& info, std::string& error) override;
    bool Write(const std::uint8_t* data, std::size_t n, std::string& error) override;
    std::string Close(bool complete) override;

    // Full paths of the files completed so far, in order.
    const std::vector<std::string>& Completed() const { return completed_; }

  private:
    std::string folder_;
    int fd_ = -1;
    std::string name_;         // the plain name asked for
    std::string partialPath_;  // where the bytes are being written
    std::int64_t mtime_ = 0;
    std::vector<std::string> completed_;
};

class TFileListSource : public ISendSource {
  public:
    explicit TFileListSource(std::vector<std::string> paths);
    ~TFileListSource() override;
    TFileListSource(const TFileListSource&) = delete;
    TFileListSource& operator=(const TFileListSource&) = delete;

    bool Next(FileInfo& info, std::string& error) override;
    long Read(std::uint8_t* data, std::size_t n, std::string& error) override;

  private:
    std::vector<std::string> paths_;
    std::size_t next_ = 0;
    int fd_ = -1;
};

}  // namespace zenta::transfer
