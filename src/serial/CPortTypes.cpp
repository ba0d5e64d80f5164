#include "serial/CPortTypes.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>

namespace {

constexpr std::array<const char*, 26> kBaudTexts = {
    "Custom", "110",    "300",    "600",    "1200",   "2400",    "4800",    "9600",   "14400",
    "19200",  "38400",  "56000",  "57600",  "115200", "128000",  "230400",  "256000", "460800",
    "500000", "512000", "600000", "750000", "921600", "1000000", "1500000", "2000000"};
constexpr std::array<int32_t, 26> kBaudValues = {
    0,      110,    300,    600,    1200,   2400,    4800,    9600,   14400,
    19200,  38400,  56000,  57600,  115200, 128000,  230400,  256000, 460800,
    500000, 512000, 600000, 750000, 921600, 1000000, 1500000, 2000000};
constexpr std::array<const char*, 3> kStopTexts = {"1", "1.5", "2"};
constexpr std::array<const char*, 4> kDataTexts = {"5", "6", "7", "8"};
constexpr std::array<const char*, 5> kParityTexts = {"None", "Odd", "Even", "Mark", "Space"};
constexpr std::array<const char*, 4> kFlowTexts = {"Hardware", "Software", "None", "Custom"};

// Event flags by ordinal.
constexpr std::array<uint32_t, 10> kEventFlags = {EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_RING,
                                                  EV_BREAK,  EV_CTS,     EV_DSR,    EV_ERR,
                                                  EV_RLSD,   EV_RX80FULL};

std::string Upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

template <class E, std::size_t N>
E Lookup(const std::array<const char*, N>& texts, const std::string& text, E fallback) {
    const std::string wanted = Upper(text);
    for (std::size_t i = 0; i < N; ++i) {
        if (Upper(texts[i]) == wanted) {
            return static_cast<E>(i);
        }
    }
    return fallback;
}

template <std::size_t N>
std::string TextOf(const std::array<const char*, N>& texts, unsigned ordinal) {
    return ordinal < N ? texts[ordinal] : "";
}

}  // namespace

std::string BaudRateToStr(TBaudRate value) {
    return TextOf(kBaudTexts, value);
}
std::string StopBitsToStr(TStopBits value) {
    return TextOf(kStopTexts, value);
}
std::string DataBitsToStr(TDataBits value) {
    return TextOf(kDataTexts, value);
}
std::string ParityToStr(TParityBits value) {
    return TextOf(kParityTexts, value);
}
std::string FlowControlToStr(TFlowControl value) {
    return TextOf(kFlowTexts, value);
}

TBaudRate StrToBaudRate(const std::string& text) {
    return Lookup(kBaudTexts, text, br9600);
}
TStopBits StrToStopBits(const std::string& text) {
    return Lookup(kStopTexts, text, sbOneStopBit);
}
TDataBits StrToDataBits(const std::string& text) {
    return Lookup(kDataTexts, text, dbEight);
}
TParityBits StrToParity(const std::string& text) {
    return Lookup(kParityTexts, text, prNone);
}
TFlowControl StrToFlowControl(const std::string& text) {
    return Lookup(kFlowTexts, text, fcCustom);
}

int32_t BaudRateValue(TBaudRate value) {
    return value < kBaudValues.size() ? kBaudValues[value] : 0;
}

uint32_t EventsToMask(TComEvents events) {
    uint32_t mask = 0;
    for (unsigned i = 0; i < kEventFlags.size(); ++i) {
        if (events.Contains(static_cast<TComEvent>(i))) {
            mask |= kEventFlags[i];
        }
    }
    return mask;
}

TComEvents MaskToEvents(uint32_t mask) {
    TComEvents events;
    for (unsigned i = 0; i < kEventFlags.size(); ++i) {
        if (mask & kEventFlags[i]) {
            events.Include(static_cast<TComEvent>(i));
        }
    }
    return events;
}

TComSignals ModemStatusToSignals(uint32_t status) {
    TComSignals s;
    if (status & MS_CTS_ON) {
        s.Include(csCTS);
    }
    if (status & MS_DSR_ON) {
        s.Include(csDSR);
    }
    if (status & MS_RING_ON) {
        s.Include(csRing);
    }
    if (status & MS_RLSD_ON) {
        s.Include(csRLSD);
    }
    return s;
}

TComErrors ErrorWordToErrors(uint32_t word, bool parityCheck) {
    TComErrors e;
    if (word & CE_FRAME) {
        e.Include(ceFrame);
    }
    if ((word & CE_RXPARITY) && parityCheck) {
        e.Include(ceRxParity);
    }
    if (word & CE_OVERRUN) {
        e.Include(ceOverrun);
    }
    if (word & CE_BREAK) {
        e.Include(ceBreak);
    }
    if (word & CE_IOE) {
        e.Include(ceIO);
    }
    if (word & CE_MODE) {
        e.Include(ceMode);
    }
    if (word & CE_RXOVER) {
        e.Include(ceRxOver);
    }
    if (word & CE_TXFULL) {
        e.Include(ceTxFull);
    }
    return e;
}

namespace zenta {

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace zenta
