// Line parameter enumerations, small bit sets and their text forms.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

// Bit set over a small enumeration: bit n stands for ordinal n.
template <class E, class B = uint32_t>
class TSet {
  public:
    using BitsType = B;

    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> items) {
        for (E e : items) {
            Include(e);
        }
    }
    static constexpr TSet FromBits(B bits) {
        TSet s;
        s.bits_ = bits;
        return s;
    }

    constexpr bool Contains(E e) const { return ((bits_ >> static_cast<unsigned>(e)) & 1u) != 0; }
    constexpr TSet& Include(E e) {
        bits_ = static_cast<B>(bits_ | (B(1) << static_cast<unsigned>(e)));
        return *this;
    }
    constexpr TSet& Exclude(E e) {
        bits_ = static_cast<B>(bits_ & ~(B(1) << static_cast<unsigned>(e)));
        return *this;
    }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr B Bits() const { return bits_; }

    constexpr TSet operator|(TSet o) const { return FromBits(static_cast<B>(bits_ | o.bits_)); }
    constexpr TSet operator&(TSet o) const { return FromBits(static_cast<B>(bits_ & o.bits_)); }
    constexpr TSet operator-(TSet o) const { return FromBits(static_cast<B>(bits_ & ~o.bits_)); }
    constexpr TSet& operator|=(TSet o) {
        bits_ = static_cast<B>(bits_ | o.bits_);
        return *this;
    }
    constexpr bool operator==(const TSet&) const = default;

  private:
    B bits_ = 0;
};

enum TBaudRate : uint8_t {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br230400,
    br256000,
    br460800,
    br500000,
    br512000,
    br600000,
    br750000,
    br921600,
    br1000000,
    br1500000,
    br2000000
};
enum TDataBits : uint8_t { dbFive, dbSix, dbSeven, dbEight };
enum TStopBits : uint8_t { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TParityBits : uint8_t { prNone, prOdd, prEven, prMark, prSpace };
// Line values a device can refuse, as bits of TCustomComPort::RefusedLine.
enum TLineValue : uint32_t {
    lvBaudRate = 1,
    lvDataBits = 2,
    lvParity = 4,
    lvStopBits = 8,
};
enum TFlowControl : uint8_t { fcHardware, fcSoftware, fcNone, fcCustom };
enum TDTRFlowControl : uint8_t { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl : uint8_t { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };

enum TComEvent : uint8_t {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
using TComEvents = TSet<TComEvent, uint16_t>;

enum TComSignal : uint8_t { csCTS, csDSR, csRing, csRLSD };
using TComSignals = TSet<TComSignal, uint8_t>;

enum TComError : uint8_t {
    ceFrame,
    ceRxParity,
    ceOverrun,
    ceBreak,
    ceIO,
    ceMode,
    ceRxOver,
    ceTxFull
};
using TComErrors = TSet<TComError, uint8_t>;

// Status bits of a line-status query, in the order of the status record.
enum TComStateFlag : uint8_t { fCtlHold, fDsrHold, fRlsHold, fXoffHold, fXOffSent, fEof, fTxim };
using TComStateFlags = TSet<TComStateFlag, uint8_t>;

enum TSyncMethod : uint8_t { smThreadSync, smWindowSync, smNone };
enum TStoreType : uint8_t { stRegistry, stIniFile };
enum TStoredProp : uint8_t { spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers };
using TStoredProps = TSet<TStoredProp, uint8_t>;

enum TComLinkEvent : uint8_t {
    leConn,
    leCTS,
    leDSR,
    leRLSD,
    leRing,
    leRx,
    leTx,
    leTxEmpty,
    leRxFlag
};
enum TOperationKind : uint8_t { okWrite, okRead };
enum TThreadPriority : uint8_t {
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

// Comm event flags of the event mask.
constexpr uint32_t EV_RXCHAR = 0x0001;
constexpr uint32_t EV_RXFLAG = 0x0002;
constexpr uint32_t EV_TXEMPTY = 0x0004;
constexpr uint32_t EV_CTS = 0x0008;
constexpr uint32_t EV_DSR = 0x0010;
constexpr uint32_t EV_RLSD = 0x0020;
constexpr uint32_t EV_BREAK = 0x0040;
constexpr uint32_t EV_ERR = 0x0080;
constexpr uint32_t EV_RING = 0x0100;
constexpr uint32_t EV_RX80FULL = 0x0400;

// Modem status word bits.
constexpr uint32_t MS_CTS_ON = 0x10;
constexpr uint32_t MS_DSR_ON = 0x20;
constexpr uint32_t MS_RING_ON = 0x40;
constexpr uint32_t MS_RLSD_ON = 0x80;

// Line error word bits.
constexpr uint32_t CE_RXOVER = 0x0001;
constexpr uint32_t CE_OVERRUN = 0x0002;
constexpr uint32_t CE_RXPARITY = 0x0004;
constexpr uint32_t CE_FRAME = 0x0008;
constexpr uint32_t CE_BREAK = 0x0010;
constexpr uint32_t CE_TXFULL = 0x0100;
constexpr uint32_t CE_IOE = 0x0400;
constexpr uint32_t CE_MODE = 0x8000;

inline constexpr TComEvents AllComEvents = TComEvents::FromBits(0x03FF);

std::string BaudRateToStr(TBaudRate value);
std::string StopBitsToStr(TStopBits value);
std::string DataBitsToStr(TDataBits value);
std::string ParityToStr(TParityBits value);
std::string FlowControlToStr(TFlowControl value);

// Upper-case compare without trimming; an unknown text gives a fixed default.
TBaudRate StrToBaudRate(const std::string& text);        // default br9600
TStopBits StrToStopBits(const std::string& text);        // default sbOneStopBit
TDataBits StrToDataBits(const std::string& text);        // default dbEight
TParityBits StrToParity(const std::string& text);        // default prNone
TFlowControl StrToFlowControl(const std::string& text);  // default fcCustom

// Bit rate of an ordinal; 0 for brCustom. The one table of the 26 rates.
int32_t BaudRateValue(TBaudRate value);

namespace zenta {

// Milliseconds of a steady clock, for time limits and idle gaps (never jumps with the date).
int64_t MonotonicMs();

}  // namespace zenta

uint32_t EventsToMask(TComEvents events);
TComEvents MaskToEvents(uint32_t mask);
TComSignals ModemStatusToSignals(uint32_t status);
// CE_RXPARITY counts only while parity checking is on.
TComErrors ErrorWordToErrors(uint32_t word, bool parityCheck);
