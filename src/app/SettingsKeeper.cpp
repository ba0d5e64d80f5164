#include "app/SettingsKeeper.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include "app/core/FolderLock.h"

namespace zenta {

SettingsKeeper::SettingsKeeper(QObject* parent, std::function<QByteArray()> iniBytes,
                               std::function<void(QSettings&)> saveExt)
    : QObject(parent), iniBytes_(std::move(iniBytes)), saveExtInto_(std::move(saveExt)) {
    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("settingsTimer"));
    timer_->setInterval(kCheckMs);
    connect(timer_, &QTimer::timeout, this, [this] { Check(); });
}

SettingsKeeper::~SettingsKeeper() = default;

bool SettingsKeeper::TakeFolder(const QString& folder) {
    // The folder is made here if need be: the first save would make it anyway.
    QDir().mkpath(folder);
    lock_ = std::make_unique<FolderLock>(QFile::encodeName(folder).toStdString());
    // A folder that cannot be locked (no permission) is no sign of another window; the
    // saves report their own failures.
    writer_ = lock_->state() != FolderLock::State::HeldElsewhere;
    return writer_;
}

void SettingsKeeper::Start() {
    if (writer_) {
        writtenExt_ = ExtBytes();
        timer_->start();
    }
}

void SettingsKeeper::Release() {
    timer_->stop();
    writer_ = false;
    lock_.reset();
}

void SettingsKeeper::NoteExtWritten() {
    if (timer_->isActive()) {
        writtenExt_ = ExtBytes();
    }
}

// The second file's values as text, to see whether they changed. QSettings rewrites its
// file at every sync, changed or not, so the values go to a file of this window's own
// first and the real file is written only when they differ.
QByteArray SettingsKeeper::ExtBytes() {
    if (!probeDir_) {
        probeDir_ = std::make_unique<QTemporaryDir>();
    }
    if (!probeDir_->isValid()) {
        return {};
    }
    const QString path = probeDir_->filePath(QStringLiteral("probe.ini"));
    QFile::remove(path);
    {
        QSettings probe(path, QSettings::IniFormat);
        saveExtInto_(probe);
    }
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool SettingsKeeper::Check() {
    if (!writer_) {
        return false;
    }
    bool wrote = false;
    const QByteArray ini = iniBytes_();
    if (ini != writtenIni_ && saveIni) {
        saveIni();
        writtenIni_ = ini;  // also after a failure: the save reported it, no retry each second
        wrote = true;
    }
    const QByteArray ext = ExtBytes();
    if (ext != writtenExt_ && saveExt) {
        saveExt();
        writtenExt_ = ext;
        wrote = true;
    }
    return wrote;
}

}  // namespace zenta
