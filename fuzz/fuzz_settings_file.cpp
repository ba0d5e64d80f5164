// The settings file from any bytes: loading never fails, and what a save writes loads
// back to the same settings (so a second save would write the same bytes).
#include <cstdint>

#include "FuzzCheck.h"
#include "app/core/SettingsFile.h"

using namespace zenta;

namespace {

bool Same(const SettingsSnapshot& a, const SettingsSnapshot& b) {
    for (int i = 0; i < kPreparedRows; ++i) {
        const PreparedRow& x = a.rows[static_cast<std::size_t>(i)];
        const PreparedRow& y = b.rows[static_cast<std::size_t>(i)];
        if (x.hex != y.hex || x.text != y.text || x.note != y.note) {
            return false;
        }
    }
    return a.english == b.english && a.portName == b.portName && a.baudRate == b.baudRate &&
           a.windowWidth == b.windowWidth && a.windowHeight == b.windowHeight &&
           a.windowLeft == b.windowLeft && a.windowTop == b.windowTop &&
           a.sidePanelWidth == b.sidePanelWidth && a.sendButtonWidth == b.sendButtonWidth &&
           a.fontName == b.fontName && a.fontSize == b.fontSize && a.filePath == b.filePath &&
           a.savedTextLine == b.savedTextLine && a.savedHexLine == b.savedHexLine &&
           a.hexSend == b.hexSend && a.timedInterval == b.timedInterval &&
           a.appendCrLf == b.appendCrLf && a.loopInterval == b.loopInterval &&
           a.hexDisplay == b.hexDisplay && a.checksumIndex == b.checksumIndex &&
           a.packetDisplay == b.packetDisplay && a.packetTimeout == b.packetTimeout;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const SettingsSnapshot defaults = DefaultSettingsSnapshot();
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const SettingsKeyLine& line : ParseSettingsFile(file)) {
        FUZZ_CHECK(!line.value.contains(QLatin1Char('\r')) &&
                   !line.value.contains(QLatin1Char('\n')));
        if (line.key == KeyNumber(SettingsKey::BaudRate)) {
            const TBaudRate baud = BaudRateFromSetting(line.value);
            FUZZ_CHECK(baud >= br110 && baud <= br2000000);
        } else if (line.key == KeyNumber(SettingsKey::Checksum)) {
            const int checksum = ChecksumIndexFromSetting(line.value);
            FUZZ_CHECK(checksum >= 0 && checksum <= 3);
        }
    }
    // One save and one load: the save is a function of the settings, so settings that
    // load back equal save to the same bytes again.
    const SettingsSnapshot loaded = LoadSettingsSnapshot(file, defaults);
    const QByteArray saved = BuildSettingsFile(loaded);
    FUZZ_CHECK(saved.endsWith(";end"));
    FUZZ_CHECK(Same(LoadSettingsSnapshot(saved, defaults), loaded));
    return 0;
}
