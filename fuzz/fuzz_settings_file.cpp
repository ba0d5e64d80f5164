// The settings file from any bytes: loading never fails, and what a save writes loads
// back to the same settings (so a second save would write the same bytes).
#include <cstdint>

#include "FuzzCheck.h"
#include "app/core/SettingsFile.h"

using namespace zenta;

namespace {

bool Same(const SettingsSnapshot& a, const SettingsSnapshot& b) {
    return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const SettingsSnapshot defaults = DefaultSettingsSnapshot();
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    // The file is parsed once and loaded line by line, as loading it does.
    SettingsSnapshot loaded = defaults;
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
        ApplySettingsLine(line, loaded);
    }
    // One save and one load: the save is a function of the settings, so settings that
    // load back equal save to the same bytes again.
    const QByteArray saved = BuildSettingsFile(loaded);
    FUZZ_CHECK(saved.endsWith(";end"));
    FUZZ_CHECK(Same(LoadSettingsSnapshot(saved, defaults), loaded));
    return 0;
}
