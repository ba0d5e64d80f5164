// Settings sub-objects of a port and the device control record built from them.
#pragma once

#include <cstdint>

#include "serial/CPortTypes.h"

class TCustomComPort;

// Device control record: what a configuration asks of the device.
struct TDCB {
    uint32_t DCBlength = 28;
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 8;
    uint8_t Parity = 0;
    uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
};

// Flag bits of TDCB::Flags.
constexpr uint32_t DCB_fBinary = 0x1;
constexpr uint32_t DCB_fParity = 0x2;
constexpr uint32_t DCB_fOutxCtsFlow = 0x4;
constexpr uint32_t DCB_fOutxDsrFlow = 0x8;
constexpr uint32_t DCB_fDtrControlShift = 4;
constexpr uint32_t DCB_fDtrControlMask = 0x30;
constexpr uint32_t DCB_fDsrSensitivity = 0x40;
constexpr uint32_t DCB_fTXContinueOnXoff = 0x80;
constexpr uint32_t DCB_fOutX = 0x100;
constexpr uint32_t DCB_fInX = 0x200;
constexpr uint32_t DCB_fErrorChar = 0x400;
constexpr uint32_t DCB_fNull = 0x800;
constexpr uint32_t DCB_fRtsControlShift = 12;
constexpr uint32_t DCB_fRtsControlMask = 0x3000;

struct TCommTimeouts {
    uint32_t ReadIntervalTimeout = 0;
    uint32_t ReadTotalTimeoutMultiplier = 0;
    uint32_t ReadTotalTimeoutConstant = 0;
    uint32_t WriteTotalTimeoutMultiplier = 0;
    uint32_t WriteTotalTimeoutConstant = 0;
};

// Each setter compares first; a change asks the owning port (if any) to re-apply its group.
// Copies carry the fields only, never the back reference.
class TComParity {
  public:
    TComParity() = default;
    TComParity(const TComParity& o) { Assign(o); }
    TComParity& operator=(const TComParity& o) {
        Assign(o);
        return *this;
    }
    void Assign(const TComParity& o);

    TParityBits Bits() const { return bits_; }
    void SetBits(TParityBits v);
    bool Check() const { return check_; }
    void SetCheck(bool v);
    bool Replace() const { return replace_; }
    void SetReplace(bool v);
    char ReplaceChar() const { return replaceChar_; }
    void SetReplaceChar(char v);

    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* port) { port_ = port; }

  private:
    void Changed();
    TCustomComPort* port_ = nullptr;
    TParityBits bits_ = prNone;
    bool check_ = false;
    bool replace_ = false;
    char replaceChar_ = 0;
};

class TComFlowControl {
  public:
    TComFlowControl() = default;
    TComFlowControl(const TComFlowControl& o) { Assign(o); }
    TComFlowControl& operator=(const TComFlowControl& o) {
        Assign(o);
        return *this;
    }
    void Assign(const TComFlowControl& o);

    // Summary derived from ControlRTS, OutCTSFlow and the two XON/XOFF flags.
    TFlowControl FlowControl() const;
    // Never compares: every write re-applies, fcCustom included.
    void SetFlowControl(TFlowControl v);

    bool OutCTSFlow() const { return outCTSFlow_; }
    void SetOutCTSFlow(bool v);
    bool OutDSRFlow() const { return outDSRFlow_; }
    void SetOutDSRFlow(bool v);
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    void SetControlDTR(TDTRFlowControl v);
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    void SetControlRTS(TRTSFlowControl v);
    bool XonXoffOut() const { return xonXoffOut_; }
    void SetXonXoffOut(bool v);
    bool XonXoffIn() const { return xonXoffIn_; }
    void SetXonXoffIn(bool v);
    bool DSRSensitivity() const { return dsrSensitivity_; }
    void SetDSRSensitivity(bool v);
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void SetTxContinueOnXoff(bool v);
    char XonChar() const { return xonChar_; }
    void SetXonChar(char v);
    char XoffChar() const { return xoffChar_; }
    void SetXoffChar(char v);

    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* port) { port_ = port; }

  private:
    void Changed();
    TCustomComPort* port_ = nullptr;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = 17;
    char xoffChar_ = 19;
};

// Milliseconds; -1 stands for the maximum value.
class TComTimeouts {
  public:
    TComTimeouts() = default;
    TComTimeouts(const TComTimeouts& o) { Assign(o); }
    TComTimeouts& operator=(const TComTimeouts& o) {
        Assign(o);
        return *this;
    }
    void Assign(const TComTimeouts& o);

    int32_t ReadInterval() const { return readInterval_; }
    void SetReadInterval(int32_t v);
    int32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    void SetReadTotalMultiplier(int32_t v);
    int32_t ReadTotalConstant() const { return readTotalConstant_; }
    void SetReadTotalConstant(int32_t v);
    int32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    void SetWriteTotalMultiplier(int32_t v);
    int32_t WriteTotalConstant() const { return writeTotalConstant_; }
    void SetWriteTotalConstant(int32_t v);

    TCommTimeouts ToCommTimeouts() const;

    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* port) { port_ = port; }

  private:
    void Changed();
    TCustomComPort* port_ = nullptr;
    int32_t readInterval_ = -1;
    int32_t readTotalMultiplier_ = 0;
    int32_t readTotalConstant_ = 0;
    int32_t writeTotalMultiplier_ = 100;
    int32_t writeTotalConstant_ = 1000;
};

// A positive odd size is stored one less; the comparison is made before that rounding.
class TComBuffer {
  public:
    TComBuffer() = default;
    TComBuffer(const TComBuffer& o) { Assign(o); }
    TComBuffer& operator=(const TComBuffer& o) {
        Assign(o);
        return *this;
    }
    void Assign(const TComBuffer& o);

    int32_t InputSize() const { return inputSize_; }
    void SetInputSize(int32_t v);
    int32_t OutputSize() const { return outputSize_; }
    void SetOutputSize(int32_t v);

    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* port) { port_ = port; }

  private:
    void Changed();
    TCustomComPort* port_ = nullptr;
    int32_t inputSize_ = 1024;
    int32_t outputSize_ = 1024;
};

namespace zenta {

// The flag word of the device control record for these settings.
uint32_t DcbFlagWord(const TComParity& parity, const TComFlowControl& flow, bool discardNull);

}  // namespace zenta
