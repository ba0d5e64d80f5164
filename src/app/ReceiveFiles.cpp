// Saving the received data and capturing it to a file as it comes.
#include <fcntl.h>
#include <unistd.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "app/PanelWidgets.h"
#include "app/ReceivePanel.h"
#include "app/SaveFolder.h"
#include "app/UiPrompts.h"
#include "app/WindowLinks.h"
#include "app/WindowState.h"
#include "datapath/DataFolder.h"
#include "datapath/FileTexts.h"
#include "datapath/ReceiveState.h"
#include "datapath/qt/ReceiveView.h"
#include "text/Gb18030.h"

using zenta::LocalPath;

namespace {

QString U8(const std::string& s) {
    return QString::fromStdString(s);
}

// The receive window's text as a multi-line edit saves it: every line ends in CR LF.
QByteArray WindowFileBytes(const QString& text) {
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    QByteArray out;
    for (const QString& line : lines) {
        out += zenta::ToGb18030(line);
        out += "\r\n";
    }
    return out;
}

}  // namespace

void ReceivePanel::onSaveDataClicked() {
    const bool english = EnglishUI == 1;
    const std::string stamp = zenta::FileTimeStampNow();
    const QDir folder(zenta::SaveFolder());
    const std::string windowName = LocalPath(folder.filePath(U8("SaveWindows" + stamp + ".TXT")));
    const std::string dataName = LocalPath(folder.filePath(U8("SAVE" + stamp + ".DAT")));
    // Two saves within one second get one suffix for both files; nothing is written over.
    const int number = zenta::FreeNumber({windowName, dataName});
    const std::string windowPath = zenta::NumberedPath(windowName, number);
    const std::string dataPath = zenta::NumberedPath(dataName, number);
    std::string error;
    const QByteArray text = WindowFileBytes(view->toPlainText());
    if (!zenta::WriteNewFile(windowPath, std::string_view(text.constData(), text.size()), &error)) {
        Prompts().ShowMessage(U8(zenta::SaveFailedText(windowPath, error, english)));
        return;
    }
    if (!zenta::WriteNewFile(dataPath, window_.Received().rxRawAll, &error)) {
        Prompts().ShowMessage(U8(zenta::SaveFailedText(dataPath, error, english)));
        return;
    }
    Prompts().ShowMessage(U8(zenta::SavedText(dataPath, windowPath, english)));
}

void ReceivePanel::onCaptureClicked() {
    if (!captureCheck->isChecked()) {
        return;
    }
    const bool english = EnglishUI == 1;
    const QString path = QDir(zenta::SaveFolder())
                             .filePath(U8("ReceivedTofile" + zenta::FileTimeStampNow() + ".DAT"));
    const std::string local = LocalPath(path);
    // Two switch-ons within one second name the same file: the data goes on into it.
    const int fd = ::open(local.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        const std::string reason = std::strerror(errno);
        panel_widgets::SetChecked(captureCheck, false);
        Prompts().ShowMessage(U8(zenta::CaptureFailedText(local, reason, english)));
        return;
    }
    ::close(fd);
    captureFileName = path;
    captureStamper_.Reset();
    Prompts().ShowMessage(U8(zenta::CaptureStartedText(local, english)));
}
