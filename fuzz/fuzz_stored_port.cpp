// A port's stored settings loaded from any INI text: a value the engine refuses raises
// its error and nothing else, and what a port stores it loads back unchanged.
#include <cstdint>
#include <exception>

#include "FuzzCheck.h"
#include "serial/CPort.h"
#include "serial/IniStore.h"

namespace {

constexpr TStoredProps kEverything = {spBasic,    spFlowControl, spBuffer,
                                      spTimeouts, spParity,      spOthers};

std::string Stored(TComPort& port) {
    TIniStore store;
    store.Open("ComPort");
    port.StoreIniFile(store);
    return store.Text();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TIniStore file;
    file.Parse(std::string(reinterpret_cast<const char*>(data), size));
    file.Open("ComPort");
    TComPort port;
    port.SetName("ComPort");
    port.SetStoredProps(kEverything);
    try {
        port.LoadIniFile(file);
    } catch (const std::exception&) {
        return 0;  // a refused value is the engine's error to report
    }
    const std::string saved = Stored(port);

    TIniStore reread;
    reread.Parse(saved);
    reread.Open("ComPort");
    TComPort again;
    again.SetName("ComPort");
    again.SetStoredProps(kEverything);
    again.LoadIniFile(reread);  // what was stored must load without an error
    FUZZ_CHECK(Stored(again) == saved);
    return 0;
}
