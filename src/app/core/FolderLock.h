#pragma once
// An advisory lock on a folder, held while the object lives. Two windows that keep their
// settings in one folder would otherwise overwrite each other's at every save: the first
// holds the folder, a second one sees that and leaves the files alone.

#include <string>

namespace zenta {

class FolderLock {
  public:
    enum class State {
        Held,           // this object holds the folder
        HeldElsewhere,  // another process (or another lock in this one) holds it
        Unavailable,    // the folder cannot be opened or locked (missing, no permission)
    };
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    State state() const { return state_; }

  private:
    int fd_ = -1;
    State state_ = State::Unavailable;
};

}  // namespace zenta
