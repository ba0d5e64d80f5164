// The settings file from any bytes: loading never fails, and what a save writes loads
// back to the same settings (a second save writes the same bytes).
#include <cstdint>

#include "FuzzCheck.h"
#include "app/core/SettingsFile.h"

using namespace zenta;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const SettingsKeyLine& line : ParseSettingsFile(file)) {
        const TBaudRate baud = BaudRateFromSetting(line.value);
        FUZZ_CHECK(baud >= br110 && baud <= br2000000);
        const int checksum = ChecksumIndexFromSetting(line.value);
        FUZZ_CHECK(checksum >= 0 && checksum <= 3);
        FUZZ_CHECK(!line.value.contains(QLatin1Char('\r')) &&
                   !line.value.contains(QLatin1Char('\n')));
    }
    const QByteArray saved =
        BuildSettingsFile(LoadSettingsSnapshot(file, DefaultSettingsSnapshot()));
    FUZZ_CHECK(saved.endsWith(";end"));
    const QByteArray again =
        BuildSettingsFile(LoadSettingsSnapshot(saved, DefaultSettingsSnapshot()));
    FUZZ_CHECK(again == saved);
    return 0;
}
