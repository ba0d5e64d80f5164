#include "app/SaveFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <ctime>

#include "datapath/DataFolder.h"
#include "datapath/FileTexts.h"

namespace zenta {

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString FromLocalPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string FileTimeStampNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    return FileTimeStamp(local);
}

QString SaveFolder() {
    const QString program = ProgramFolderOverride.isEmpty() ? QCoreApplication::applicationDirPath()
                                                            : ProgramFolderOverride;
    const std::string local = LocalPath(program);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString folder =
        FromLocalPath(ChooseDataFolder(local, PortableFolder(local), LocalPath(documents)));
    QDir().mkpath(folder);
    return folder;
}

}  // namespace zenta
