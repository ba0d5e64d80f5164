#include "serial/ctl/ComSelect.h"

#include <cstdio>
#include <vector>

TComSelect::~TComSelect() {
    if (port_ != nullptr) {
        port_->RemoveDestroyListener(this);
    }
}

bool TComSelect::SetComPort(TCustomComPort* port, std::function<void()> dropped) {
    if (port == port_) {
        return false;
    }
    if (port_ != nullptr) {
        port_->RemoveDestroyListener(this);
    }
    port_ = port;
    if (port_ != nullptr) {
        // The dying port removes its listeners itself.
        port_->AddDestroyListener(this, [this, dropped = std::move(dropped)] {
            port_ = nullptr;
            if (dropped) {
                dropped();
            }
        });
    }
    return true;
}

void TComSelect::SetComProperty(TComProperty property) {
    property_ = property;
    items_.Clear();
    switch (property) {
        case cpPort: {
            std::vector<std::string> ports;
            EnumComPorts(ports);
            for (const auto& p : ports) {
                items_.Add(p);
            }
            break;
        }
        case cpBaudRate:
            for (int i = brCustom; i <= br2000000; ++i) {
                items_.Add(BaudRateToStr(static_cast<TBaudRate>(i)));
            }
            break;
        case cpDataBits:
            for (int i = dbFive; i <= dbEight; ++i) {
                items_.Add(DataBitsToStr(static_cast<TDataBits>(i)));
            }
            break;
        case cpStopBits:
            for (int i = sbOneStopBit; i <= sbTwoStopBits; ++i) {
                items_.Add(StopBitsToStr(static_cast<TStopBits>(i)));
            }
            break;
        case cpParity:
            for (int i = prNone; i <= prSpace; ++i) {
                items_.Add(ParityToStr(static_cast<TParityBits>(i)));
            }
            break;
        case cpFlowControl:
            for (int i = fcHardware; i <= fcCustom; ++i) {
                items_.Add(FlowControlToStr(static_cast<TFlowControl>(i)));
            }
            break;
        case cpNone:
            break;
    }
}

void TComSelect::Store(const std::string& text) {
    switch (property_) {
        case cpPort:
            portName_ = text;
            break;
        case cpBaudRate:
            baudRate_ = StrToBaudRate(text);
            break;
        case cpDataBits:
            dataBits_ = StrToDataBits(text);
            break;
        case cpStopBits:
            stopBits_ = StrToStopBits(text);
            break;
        case cpParity:
            parity_ = StrToParity(text);
            break;
        case cpFlowControl:
            flowControl_ = StrToFlowControl(text);
            break;
        case cpNone:
            break;
    }
}

void TComSelect::Change(const std::string& text) {
    Store(text);
    if (autoApply_) {
        ApplySettings();
    }
}

bool TComSelect::ChangeByUser(const std::string& text) {
    try {
        Change(text);
        return true;
    } catch (...) {
        // Anything a setter throws: a user's choice must never end the program.
        const std::exception_ptr error = std::current_exception();
        if (TCustomComPort::ExceptionHandler) {
            TCustomComPort::ExceptionHandler(port_, error);
            return false;
        }
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "zenta: choice of %s refused: %s\n", text.c_str(), e.what());
        } catch (...) {
            // Not a standard exception: nothing more to say about it.
            std::fprintf(stderr, "zenta: choice of %s refused\n", text.c_str());
        }
        return false;
    }
}

void TComSelect::ApplySettings() {
    if (port_ == nullptr) {
        return;
    }
    switch (property_) {
        case cpPort:
            // A port box that shows no entry has nothing to pass on; an empty
            // name would close the port and fail to reopen it.
            if (portName_) {
                port_->SetPort(*portName_);
            }
            break;
        case cpBaudRate:
            port_->SetBaudRate(baudRate_);
            break;
        case cpDataBits:
            port_->SetDataBits(dataBits_);
            break;
        case cpStopBits:
            port_->SetStopBits(stopBits_);
            break;
        case cpParity:
            port_->Parity().SetBits(parity_);
            break;
        case cpFlowControl:
            port_->FlowControl().SetFlowControl(flowControl_);
            break;
        case cpNone:
            break;
    }
}

std::string TComSelect::CurrentText() const {
    switch (property_) {
        case cpPort:
            return port_->Port();
        case cpBaudRate:
            return BaudRateToStr(port_->BaudRate());
        case cpDataBits:
            return DataBitsToStr(port_->DataBits());
        case cpStopBits:
            return StopBitsToStr(port_->StopBits());
        case cpParity:
            return ParityToStr(port_->Parity().Bits());
        case cpFlowControl:
            return FlowControlToStr(port_->FlowControl().FlowControl());
        case cpNone:
            break;
    }
    return {};
}

void TComSelect::UpdateSettings(int& itemIndex) {
    if (port_ == nullptr) {
        return;
    }
    itemIndex = items_.IndexOf(CurrentText());
    if (itemIndex >= 0) {
        Store(items_.Get(itemIndex));
    } else if (property_ == cpPort) {
        portName_.reset();  // what is shown (nothing) is what would be applied
    }
}
