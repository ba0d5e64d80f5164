#include "devsim/Modes.h"

#include "devsim/BootloaderMode.h"

namespace devsim {

const std::vector<ModeInfo>& AllModes() {
    static const std::vector<ModeInfo> modes = {
        {"echo", "send back every byte received", false, &RunEcho},
        {"stream", "send N bytes of a pattern, then print their count and CRC-32", false,
         &RunStream},
        {"telemetry", "a sensor board: GBK text lines with readings, and/or a waveform", true,
         &RunTelemetry},
        {"bootloader", "an STM32 system-memory bootloader with its own flash (0x7F starts it)",
         false, &RunBootloader},
    };
    return modes;
}

const ModeInfo* FindMode(const std::string& name) {
    for (const ModeInfo& mode : AllModes()) {
        if (name == mode.name) {
            return &mode;
        }
    }
    return nullptr;
}

bool WaitBeforeSending(Session& session, const Options& options) {
    const ModeInfo* mode = FindMode(options.mode);
    const bool wait = options.waitOpen.value_or(mode && mode->waitOpenByDefault);
    if (wait) {
        session.Info("waiting for a program to open the port");
        if (!session.WaitUntilOpen()) {
            return false;
        }
    }
    if (options.startDelayMs > 0) {
        session.Sleep(static_cast<int>(options.startDelayMs));
    }
    return !session.Stopped();
}

}  // namespace devsim
