#pragma once
// Keeps the two settings files up to date while the window runs: a change reaches the disk
// within a second, so a window that is killed (SIGKILL, a lost X connection) loses
// nothing. The settings folder is taken for this window alone; a second window started on
// the same folder reads it but writes nothing, and says so once.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QSettings;
class QTemporaryDir;
class QTimer;

namespace zenta {

class FolderLock;

class SettingsKeeper : public QObject {
    Q_OBJECT
  public:
    // iniBytes: the settings file as the window would write it now; saveExt: writes the
    // second file's values into the settings given.
    SettingsKeeper(QObject* parent, std::function<QByteArray()> iniBytes,
                   std::function<void(QSettings&)> saveExt);
    ~SettingsKeeper() override;

    // Takes the folder of the settings file; false when another window holds it.
    bool TakeFolder(const QString& folder);
    bool Writer() const { return writer_; }
    // The settings file was just written with these bytes.
    void NoteIniWritten(const QByteArray& bytes) { writtenIni_ = bytes; }
    // The second file was just written as the window has it now.
    void NoteExtWritten();
    // Starts the once-a-second check.
    void Start();
    // The window saved for the last time (it closes): the check stops and the folder is
    // free for the next window.
    void Release();
    // The check: writes what changed since the last write. Returns true when it wrote.
    bool Check();
    static constexpr int kCheckMs = 1000;

    // Set by the window: writes the settings file (the save button's action) and the
    // second file.
    std::function<void()> saveIni;
    std::function<void()> saveExt;

  private:
    QByteArray ExtBytes();

    std::function<QByteArray()> iniBytes_;
    std::function<void(QSettings&)> saveExtInto_;
    std::unique_ptr<FolderLock> lock_;
    std::unique_ptr<QTemporaryDir> probeDir_;
    QTimer* timer_ = nullptr;
    QByteArray writtenIni_;
    QByteArray writtenExt_;
    bool writer_ = true;
};

}  // namespace zenta
