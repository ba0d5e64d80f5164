// Two protocol runs joined by a simulated line with a simulated clock, and the file sides
// they use in memory. Noise: every n-th byte in one direction flipped (one bit), dropped or
// sent twice.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "transfer/FileStore.h"
#include "transfer/Transfer.h"

namespace zenta::test {

class TMemorySink : public transfer::IReceiveSink {
  public:
    struct File {
        transfer::FileInfo info;
        std::string data;
        bool complete = false;
    };
    bool Open(const transfer::FileInfo& info, std::string&) override {
        files.push_back({info, {}, false});
        return true;
    }
    bool Write(const std::uint8_t* data, std::size_t n, std::string&) override {
        files.back().data.append(reinterpret_cast<const char*>(data), n);
        return true;
    }
    std::string Close(bool complete) override {
        files.back().complete = complete;
        return files.back().info.name;
    }
    std::vector<File> files;
};

class TMemorySource : public transfer::ISendSource {
  public:
    struct File {
        std::string name;
        std::string data;
    };
    explicit TMemorySource(std::vector<File> files) : files_(std::move(files)) {}
    bool Next(transfer::FileInfo& info, std::string&) override {
        if (next_ >= files_.size()) {
            return false;
        }
        current_ = &files_[next_++];
        offset_ = 0;
        info = {current_->name, static_cast<std::int64_t>(current_->data.size()), 1700000000};
        return true;
    }
    long Read(std::uint8_t* data, std::size_t n, std::string&) override {
        const std::size_t take = std::min(n, current_->data.size() - offset_);
        std::copy_n(current_->data.data() + offset_, take, data);
        offset_ += take;
        return static_cast<long>(take);
    }

  private:
    std::vector<File> files_;
    std::size_t next_ = 0;
    const File* current_ = nullptr;
    std::size_t offset_ = 0;
};

enum class NoiseKind { None, Flip, Drop, Duplicate };

class TNoise {
  public:
    TNoise(NoiseKind kind = NoiseKind::None, unsigned every = 0) : kind_(kind), every_(every) {}
    std::string Apply(const std::string& in) {
        std::string out;
        for (const char c : in) {
            if (kind_ == NoiseKind::None || every_ == 0 || ++count_ % every_ != 0) {
                out.push_back(c);
                continue;
            }
            ++hits;
            if (kind_ == NoiseKind::Flip) {
                out.push_back(static_cast<char>(c ^ (1 << (count_ / every_ % 8))));
            } else if (kind_ == NoiseKind::Duplicate) {
                out.append(2, c);
            }
        }
        return out;
    }
    unsigned hits = 0;

  private:
    NoiseKind kind_;
    unsigned every_;
    unsigned long count_ = 0;
};

// Runs both until both ended or the simulated clock passed limitMs; the clock moves a
// millisecond per exchange and jumps to the next deadline when the line is idle. Returns
// the simulated time at the end.
inline std::uint64_t RunPair(transfer::TTransfer& sender, transfer::TTransfer& receiver,
                             TNoise& toReceiver, TNoise& toSender,
                             std::uint64_t limitMs = 3600000) {
    std::uint64_t now = 0;
    sender.Start(now);
    receiver.Start(now);
    while (!(sender.Finished() && receiver.Finished()) && now < limitMs) {
        const std::string a = toReceiver.Apply(sender.TakeOutput());
        const std::string b = toSender.Apply(receiver.TakeOutput());
        if (!a.empty()) {
            receiver.Feed(reinterpret_cast<const std::uint8_t*>(a.data()), a.size(), now);
        }
        if (!b.empty()) {
            sender.Feed(reinterpret_cast<const std::uint8_t*>(b.data()), b.size(), now);
        }
        if (a.empty() && b.empty()) {
            now = std::max(now + 1, std::min(sender.Deadline(), receiver.Deadline()));
        } else {
            ++now;
        }
        sender.Tick(now);
        receiver.Tick(now);
    }
    return now;
}

}  // namespace zenta::test
