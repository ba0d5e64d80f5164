#include "serial/CPortSettings.h"

#include "serial/CPort.h"

namespace {

template <class T>
bool Store(T& field, T value) {
    if (field == value) {
        return false;
    }
    field = value;
    return true;
}

}  // namespace

// --- TComParity ---

void TComParity::Assign(const TComParity& o) {
    bits_ = o.bits_;
    check_ = o.check_;
    replace_ = o.replace_;
    replaceChar_ = o.replaceChar_;
}

void TComParity::Changed() {
    if (port_) {
        port_->ApplyDCB();
    }
}

void TComParity::SetBits(TParityBits v) {
    if (Store(bits_, v)) {
        Changed();
    }
}
void TComParity::SetCheck(bool v) {
    if (Store(check_, v)) {
        Changed();
    }
}
void TComParity::SetReplace(bool v) {
    if (Store(replace_, v)) {
        Changed();
    }
}
void TComParity::SetReplaceChar(char v) {
    if (Store(replaceChar_, v)) {
        Changed();
    }
}

// --- TComFlowControl ---

void TComFlowControl::Assign(const TComFlowControl& o) {
    outCTSFlow_ = o.outCTSFlow_;
    outDSRFlow_ = o.outDSRFlow_;
    controlDTR_ = o.controlDTR_;
    controlRTS_ = o.controlRTS_;
    xonXoffOut_ = o.xonXoffOut_;
    xonXoffIn_ = o.xonXoffIn_;
    dsrSensitivity_ = o.dsrSensitivity_;
    txContinueOnXoff_ = o.txContinueOnXoff_;
    xonChar_ = o.xonChar_;
    xoffChar_ = o.xoffChar_;
}

void TComFlowControl::Changed() {
    if (port_) {
        port_->ApplyDCB();
    }
}

TFlowControl TComFlowControl::FlowControl() const {
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) {
        return fcHardware;
    }
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) {
        return fcSoftware;
    }
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) {
        return fcNone;
    }
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl v) {
    if (v != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        if (v == fcHardware) {
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
        } else if (v == fcSoftware) {
            xonXoffIn_ = true;
            xonXoffOut_ = true;
        }
    }
    Changed();
}

void TComFlowControl::SetOutCTSFlow(bool v) {
    if (Store(outCTSFlow_, v)) {
        Changed();
    }
}
void TComFlowControl::SetOutDSRFlow(bool v) {
    if (Store(outDSRFlow_, v)) {
        Changed();
    }
}
void TComFlowControl::SetControlDTR(TDTRFlowControl v) {
    if (Store(controlDTR_, v)) {
        Changed();
    }
}
void TComFlowControl::SetControlRTS(TRTSFlowControl v) {
    if (Store(controlRTS_, v)) {
        Changed();
    }
}
void TComFlowControl::SetXonXoffOut(bool v) {
    if (Store(xonXoffOut_, v)) {
        Changed();
    }
}
void TComFlowControl::SetXonXoffIn(bool v) {
    if (Store(xonXoffIn_, v)) {
        Changed();
    }
}
void TComFlowControl::SetDSRSensitivity(bool v) {
    if (Store(dsrSensitivity_, v)) {
        Changed();
    }
}
void TComFlowControl::SetTxContinueOnXoff(bool v) {
    if (Store(txContinueOnXoff_, v)) {
        Changed();
    }
}
void TComFlowControl::SetXonChar(char v) {
    if (Store(xonChar_, v)) {
        Changed();
    }
}
void TComFlowControl::SetXoffChar(char v) {
    if (Store(xoffChar_, v)) {
        Changed();
    }
}

// --- TComTimeouts ---

void TComTimeouts::Assign(const TComTimeouts& o) {
    readInterval_ = o.readInterval_;
    readTotalMultiplier_ = o.readTotalMultiplier_;
    readTotalConstant_ = o.readTotalConstant_;
    writeTotalMultiplier_ = o.writeTotalMultiplier_;
    writeTotalConstant_ = o.writeTotalConstant_;
}

void TComTimeouts::Changed() {
    if (port_) {
        port_->ApplyTimeouts();
    }
}

void TComTimeouts::SetReadInterval(int32_t v) {
    if (Store(readInterval_, v)) {
        Changed();
    }
}
void TComTimeouts::SetReadTotalMultiplier(int32_t v) {
    if (Store(readTotalMultiplier_, v)) {
        Changed();
    }
}
void TComTimeouts::SetReadTotalConstant(int32_t v) {
    if (Store(readTotalConstant_, v)) {
        Changed();
    }
}
void TComTimeouts::SetWriteTotalMultiplier(int32_t v) {
    if (Store(writeTotalMultiplier_, v)) {
        Changed();
    }
}
void TComTimeouts::SetWriteTotalConstant(int32_t v) {
    if (Store(writeTotalConstant_, v)) {
        Changed();
    }
}

TCommTimeouts TComTimeouts::ToCommTimeouts() const {
    // -1 is the all-ones pattern already; every other value keeps its 32-bit pattern.
    TCommTimeouts t;
    t.ReadIntervalTimeout = static_cast<uint32_t>(readInterval_);
    t.ReadTotalTimeoutMultiplier = static_cast<uint32_t>(readTotalMultiplier_);
    t.ReadTotalTimeoutConstant = static_cast<uint32_t>(readTotalConstant_);
    t.WriteTotalTimeoutMultiplier = static_cast<uint32_t>(writeTotalMultiplier_);
    t.WriteTotalTimeoutConstant = static_cast<uint32_t>(writeTotalConstant_);
    return t;
}

// --- TComBuffer ---

namespace {
int32_t EvenSize(int32_t v) {
    return (v > 0 && (v % 2) == 1) ? v - 1 : v;
}
}  // namespace

void TComBuffer::Assign(const TComBuffer& o) {
    inputSize_ = o.inputSize_;
    outputSize_ = o.outputSize_;
}

void TComBuffer::Changed() {
    if (port_) {
        port_->ApplyBuffer();
    }
}

void TComBuffer::SetInputSize(int32_t v) {
    if (v == inputSize_) {
        return;
    }
    inputSize_ = EvenSize(v);
    Changed();
}

void TComBuffer::SetOutputSize(int32_t v) {
    if (v == outputSize_) {
        return;
    }
    outputSize_ = EvenSize(v);
    Changed();
}

namespace zenta {

uint32_t DcbFlagWord(const TComParity& parity, const TComFlowControl& flow, bool discardNull) {
    uint32_t f = DCB_fBinary;
    if (parity.Check()) {
        f |= DCB_fParity;
    }
    if (flow.OutCTSFlow()) {
        f |= DCB_fOutxCtsFlow;
    }
    if (flow.OutDSRFlow()) {
        f |= DCB_fOutxDsrFlow;
    }
    f |= static_cast<uint32_t>(flow.ControlDTR()) << DCB_fDtrControlShift;
    if (flow.DSRSensitivity()) {
        f |= DCB_fDsrSensitivity;
    }
    if (flow.TxContinueOnXoff()) {
        f |= DCB_fTXContinueOnXoff;
    }
    if (flow.XonXoffOut()) {
        f |= DCB_fOutX;
    }
    if (flow.XonXoffIn()) {
        f |= DCB_fInX;
    }
    if (parity.Check() && parity.Replace()) {
        f |= DCB_fErrorChar;
    }
    if (discardNull) {
        f |= DCB_fNull;
    }
    f |= static_cast<uint32_t>(flow.ControlRTS()) << DCB_fRtsControlShift;
    return f;
}

}  // namespace zenta
