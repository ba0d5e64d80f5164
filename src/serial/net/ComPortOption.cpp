#include "serial/net/ComPortOption.h"

#include "serial/net/Telnet.h"

namespace zenta::net {

namespace cpo {
TControlGroup ControlGroup(uint8_t value) {
    if (value <= 3 || (value >= 17 && value <= 19)) {
        return cgOutFlow;
    }
    if (value <= 6) {
        return cgBreak;
    }
    if (value <= 9) {
        return cgDtr;
    }
    if (value <= 12) {
        return cgRts;
    }
    if (value <= 16) {
        return cgInFlow;
    }
    return cgGroups;
}
}  // namespace cpo

std::string ComPortCommand(uint8_t command, std::string_view value) {
    using namespace telnet;
    std::string out{static_cast<char>(kIAC), static_cast<char>(kSB), static_cast<char>(kOptComPort),
                    static_cast<char>(command)};
    AppendEscaped(out, value.data(), value.size());
    out += {static_cast<char>(kIAC), static_cast<char>(kSE)};
    return out;
}

std::string ComPortCommand(uint8_t command, uint8_t value) {
    const char c = static_cast<char>(value);
    return ComPortCommand(command, std::string_view(&c, 1));
}

std::string SetBaudRateCommand(uint32_t rate) {
    const char v[4] = {static_cast<char>(rate >> 24), static_cast<char>(rate >> 16),
                       static_cast<char>(rate >> 8), static_cast<char>(rate)};
    return ComPortCommand(cpo::kSetBaudRate, std::string_view(v, 4));
}

std::string SignatureCommand(std::string_view text) {
    return ComPortCommand(cpo::kSignature, text);
}

namespace {
uint8_t Byte(std::string_view s, std::size_t i) {
    return static_cast<uint8_t>(s[i]);
}
}  // namespace

bool TComPortAnswers::Take(std::string_view payload) {
    using namespace cpo;
    if (payload.empty() || Byte(payload, 0) < kServer || Byte(payload, 0) >= kServer + kCommands) {
        return false;
    }
    const uint8_t command = Byte(payload, 0) - kServer;
    const std::string_view value = payload.substr(1);
    // Every command but the signature and the flow-control pair carries a value.
    const bool needsValue =
        command != kSignature && command != kFlowControlSuspend && command != kFlowControlResume;
    if (needsValue && value.empty()) {
        return false;
    }
    switch (command) {
        case kSignature:
            if (value.empty()) {
                signatureRequested_ = true;
            } else {
                signature_ = value.substr(0, kMaxSignature);
            }
            break;
        case kSetBaudRate:
            if (value.size() != 4) {
                return false;
            }
            baudRate_ = static_cast<uint32_t>(Byte(value, 0)) << 24 |
                        static_cast<uint32_t>(Byte(value, 1)) << 16 |
                        static_cast<uint32_t>(Byte(value, 2)) << 8 | Byte(value, 3);
            break;
        case kSetDataSize:
            dataSize_ = Byte(value, 0);
            break;
        case kSetParity:
            parity_ = Byte(value, 0);
            break;
        case kSetStopSize:
            stopSize_ = Byte(value, 0);
            break;
        case kSetControl: {
            const TControlGroup g = ControlGroup(Byte(value, 0));
            if (g == cgGroups) {
                return false;
            }
            control_[g] = Byte(value, 0);
            ++controlAnswers_[g];
            break;
        }
        case kNotifyLineState: {
            lineState_ = Byte(value, 0);
            static constexpr uint8_t kBits[4] = {kLineFraming, kLineParity, kLineOverrun,
                                                 kLineBreak};
            for (int i = 0; i < 4; ++i) {
                if (lineState_ & kBits[i]) {
                    ++lineErrors_[i];
                }
            }
            break;
        }
        case kNotifyModemState:
            modemState_ = Byte(value, 0);
            break;
        case kFlowControlSuspend:
            suspended_ = true;
            break;
        case kFlowControlResume:
            suspended_ = false;
            break;
        default:
            break;  // the masks and the purge: only their arrival counts
    }
    ++answers_[command];
    return true;
}

uint32_t TComPortAnswers::LineErrorCount(uint8_t bit) const {
    switch (bit) {
        case cpo::kLineFraming:
            return lineErrors_[0];
        case cpo::kLineParity:
            return lineErrors_[1];
        case cpo::kLineOverrun:
            return lineErrors_[2];
        case cpo::kLineBreak:
            return lineErrors_[3];
        default:
            return 0;
    }
}

bool TComPortAnswers::TakeSignatureRequest() {
    const bool r = signatureRequested_;
    signatureRequested_ = false;
    return r;
}

}  // namespace zenta::net
