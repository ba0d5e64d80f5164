#include "support/qt/WindowFixture.h"

#include <QFile>

#include "app/ComMainForm.h"
#include "app/FormState.h"

namespace zenta::test {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void ResetWindowGlobals() {
    EnglishUI = 0;
    StopFlag = 0;
    savedHexLine = QStringLiteral("12 FF 00 30");
    savedTextLine = QStringLiteral("abcdefg");
    PortStateText.clear();
    CtsText.clear();
    DsrText.clear();
    RlsdText.clear();
    HeaderLinks = {};
}

void TWindowFixture::Start(UiPrompts& prompts) {
    settings_.emplace();
    SetPrompts(&prompts);
    ResetWindowGlobals();
}

void TWindowFixture::Stop() {
    SetPrompts(nullptr);
    TForm1::PortEntrySource = nullptr;
    TForm1::SystemLanguageSource = nullptr;
    TForm1::SerialByIdFolder = "/dev/serial/by-id";
    TForm1::ProgramFolder.clear();
    TForm1::UpdateUrlSource = nullptr;
    TForm1::DefaultLinkSource = nullptr;
    TForm1::UpdateCancelMs = 5000;
    ResetWindowGlobals();
    settings_.reset();
}

}  // namespace zenta::test
