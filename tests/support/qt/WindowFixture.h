#pragma once
// Shared by the window tests: a settings folder of their own, answered prompts and one
// fixture that gives each test the window-wide state of a fresh process.

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>
#include <deque>
#include <optional>

#include "app/UiPrompts.h"
#include "support/FakeDevice.h"
#include "support/Pty.h"

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

namespace zenta::test {

// The whole file, or nothing when it cannot be read.
QByteArray FileBytes(const QString& path);

// The globals of the main window (FormState.h) as a new process has them.
void ResetWindowGlobals();

// One window test's surroundings: call Start() from init() before the window is built and
// Stop() from cleanup() after it is gone, so no test sees what another left behind.
class TWindowFixture {
  public:
    // A fresh settings folder, the test's prompts and fresh globals.
    void Start(UiPrompts& prompts);
    // Drops the prompts and every per-test hook of the window, then the settings folder.
    void Stop();
    // A new empty settings folder within the same test.
    void NewSettingsFolder() { settings_.emplace(); }
    QString SettingsPath() const { return settings_ ? settings_->Path() : QString(); }

  private:
    std::optional<ScopedSettingsFolder> settings_;
};

}  // namespace zenta::test
