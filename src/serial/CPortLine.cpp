// The line values in force: what the device holds after an apply, read back, and the
// way back to it when the device refuses a new value.
#include <cerrno>

#include "serial/CPort.h"
#include "serial/PortCore.h"
#include "serial/SerialDevice.h"

int ISerialDevice::LineInForce(TDCB&) {
    return ENOTSUP;
}

namespace {

// The named rate for a bit rate, brCustom when none has it.
TBaudRate NamedRate(uint32_t rate) {
    for (int i = br110; i <= br256000; ++i) {
        const auto named = static_cast<TBaudRate>(i);
        if (static_cast<uint32_t>(BaudRateValue(named)) == rate) {
            return named;
        }
    }
    return brCustom;
}

}  // namespace

void TCustomComPort::KeepLineInForce() {
    const TDCB asked = BuildDCB();
    TDCB held = asked;
    if (core_->device->LineInForce(held) == 0) {
        // A driver may take a value without an error and keep another one (a
        // pseudo-terminal keeps 8 data bits and no parity; many adapters refuse 5 or 6
        // data bits or mark and space parity): the port takes on what the device holds.
        if (held.BaudRate != asked.BaudRate && held.BaudRate != 0) {
            refusedLine_ |= lvBaudRate;
            baudRate_ = NamedRate(held.BaudRate);
            if (baudRate_ == brCustom) {
                customBaudRate_ = static_cast<int32_t>(held.BaudRate);
            }
        }
        if (held.ByteSize != asked.ByteSize && held.ByteSize >= 5 && held.ByteSize <= 8) {
            refusedLine_ |= lvDataBits;
            dataBits_ = static_cast<TDataBits>(held.ByteSize - 5);
        }
        if (held.Parity != asked.Parity && held.Parity <= prSpace) {
            refusedLine_ |= lvParity;
            TComParity parity(parity_);
            parity.SetBits(static_cast<TParityBits>(held.Parity));
            parity_.Assign(parity);
        }
        if (held.StopBits != asked.StopBits && held.StopBits <= sbTwoStopBits) {
            refusedLine_ |= lvStopBits;
            stopBits_ = static_cast<TStopBits>(held.StopBits);
        }
    }
    lineInForce_.known = true;
    lineInForce_.baudRate = baudRate_;
    lineInForce_.customBaudRate = customBaudRate_;
    lineInForce_.dataBits = dataBits_;
    lineInForce_.stopBits = stopBits_;
    lineInForce_.parity = parity_.Bits();
}

void TCustomComPort::RestoreLineInForce() {
    if (!lineInForce_.known) {
        return;  // refused at open: nothing was in force yet
    }
    const TLineInForce& held = lineInForce_;
    const bool rateDiffers = held.baudRate != baudRate_ ||
                             (baudRate_ == brCustom && held.customBaudRate != customBaudRate_);
    if (rateDiffers) {
        refusedLine_ |= lvBaudRate;
    }
    if (held.dataBits != dataBits_) {
        refusedLine_ |= lvDataBits;
    }
    if (held.parity != parity_.Bits()) {
        refusedLine_ |= lvParity;
    }
    if (held.stopBits != stopBits_) {
        refusedLine_ |= lvStopBits;
    }
    baudRate_ = held.baudRate;
    customBaudRate_ = held.customBaudRate;
    dataBits_ = held.dataBits;
    stopBits_ = held.stopBits;
    TComParity parity(parity_);
    parity.SetBits(held.parity);
    parity_.Assign(parity);
}
