#pragma once
// Helpers shared by the window tests: answered prompts, pseudo-terminals, a fake device.

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/UiPrompts.h"
#include "serial/SerialDevice.h"

// Gives the windows of one test their own empty settings folder, so no test loads what
// another one saved.
class ScopedSettingsFolder {
  public:
    ScopedSettingsFolder() { qputenv("ZENTA_CONFIG_DIR", dir_.path().toUtf8()); }
    ~ScopedSettingsFolder() { qunsetenv("ZENTA_CONFIG_DIR"); }
    QString Path() const { return dir_.path(); }

  private:
    QTemporaryDir dir_;
};

// Records every message and answers input queries from a queue (nullopt = Cancel).
class RecordingPrompts : public UiPrompts {
  public:
    QStringList messages;
    QStringList queries;
    std::deque<std::optional<QString>> answers;

    void ShowMessage(const QString& text) override { messages << text; }
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt,
                                      const QString&) override {
        queries << caption + "|" + prompt;
        if (answers.empty()) {
            return std::nullopt;
        }
        const bool confirmed = answers.front().has_value();
        const QString text = answers.front().value_or(QString());
        answers.pop_front();
        if (!confirmed) {
            return std::nullopt;
        }
        return text;
    }
    std::optional<QFont> ChooseFont(const QFont&) override { return std::nullopt; }
    QString OpenFile(const QString&, const QString&) override { return {}; }
};

// A pseudo-terminal pair; the slave path is what the window opens.
struct Pty {
    int master = -1;
    std::string slave;

    Pty() {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0) {
            slave = ptsname(master);
        }
    }
    ~Pty() { CloseMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    void CloseMaster() {
        if (master >= 0) {
            ::close(master);
            master = -1;
        }
    }
    bool Send(const std::string& bytes) const {
        return ::write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
};

// What a fake device was asked to do, in order.
struct FakeLog {
    std::mutex mutex;
    std::vector<std::string> calls;
    int dtrError = 0;     // errno answered to SetDTR
    int configError = 0;  // errno answered to Configure
    void Add(const std::string& c) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(c);
    }
    std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }
};

// A device with modem lines that never receives anything; for the DTR/RTS wiring.
class FakeDevice : public ISerialDevice {
  public:
    explicit FakeDevice(FakeLog* log) : log_(log) {}
    ~FakeDevice() override { Close(); }

    int Open(const std::string& path) override {
        if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
            return errno;
        }
        log_->Add("open " + path);
        return 0;
    }
    int Close() override {
        for (int& fd : pipe_) {
            if (fd >= 0) {
                ::close(fd);
                fd = -1;
            }
        }
        return 0;
    }
    bool IsOpen() const override { return pipe_[0] >= 0; }
    int PollFd() const override { return pipe_[0]; }
    int Configure(const TDCB& dcb) override {
        (void)dcb;
        return log_->configError;
    }
    long Read(void*, std::size_t) override { return -EAGAIN; }
    long Write(const void*, std::size_t count) override { return static_cast<long>(count); }
    int SetDTR(bool on) override {
        log_->Add(on ? "dtr 1" : "dtr 0");
        return log_->dtrError;
    }
    int SetRTS(bool on) override {
        log_->Add(on ? "rts 1" : "rts 0");
        return 0;
    }
    int GetModemStatus(uint32_t& status) override {
        status = 0;
        return 0;
    }
    int SetBreak(bool) override { return 0; }
    int SetXonXoff(bool) override { return 0; }
    int Flush(bool, bool) override { return 0; }
    int OutputQueue(int& count) override {
        count = 0;
        return 0;
    }
    int Counters(TLineCounters& counters) override {
        counters = {};
        return 0;
    }
    int TransmitChar(char) override { return 0; }

  private:
    FakeLog* log_;
    int pipe_[2] = {-1, -1};
};
