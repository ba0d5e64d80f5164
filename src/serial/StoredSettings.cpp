// Saving and restoring a port's settings in an INI file or in the per-user file that
// stands in for the registry.
#include <exception>

#include "serial/CPort.h"
#include "serial/IniStore.h"

using zenta::BoolToText;
using zenta::CharToText;
using zenta::DtrToText;
using zenta::RegistryFilePath;
using zenta::RegistrySection;
using zenta::RtsToText;
using zenta::TextToBool;
using zenta::TextToChar;
using zenta::TextToDtr;
using zenta::TextToRts;

namespace {

// Reads through the store's own rule: with the current value as default in an INI file,
// strictly (missing = failure) in the registry file.
std::string ReadText(const TIniStore& store, const std::string& name, const std::string& current) {
    return store.Strict() ? store.ReadString(name) : store.ReadString(name, current);
}

int32_t ReadInt(const TIniStore& store, const std::string& name, int32_t current) {
    return store.Strict() ? store.ReadInteger(name) : store.ReadInteger(name, current);
}

void StoreGroups(TCustomComPort& port, TIniStore& store) {
    const TStoredProps props = port.StoredProps();
    if (props.Contains(spBasic)) {
        store.WriteString("Port", port.Port());
        store.WriteString("BaudRate", BaudRateToStr(port.BaudRate()));
        if (port.BaudRate() == brCustom) {
            store.WriteInteger("CustomBaudRate", port.CustomBaudRate());
        }
        store.WriteString("StopBits", StopBitsToStr(port.StopBits()));
        store.WriteString("DataBits", DataBitsToStr(port.DataBits()));
        store.WriteString("Parity", ParityToStr(port.Parity().Bits()));
        store.WriteString("FlowControl", FlowControlToStr(port.FlowControl().FlowControl()));
    }
    if (props.Contains(spOthers)) {
        store.WriteString("EventChar", CharToText(port.EventChar()));
        store.WriteString("DiscardNull", BoolToText(port.DiscardNull()));
    }
    if (props.Contains(spParity)) {
        const TComParity& p = port.Parity();
        store.WriteString("Parity.Check", BoolToText(p.Check()));
        store.WriteString("Parity.Replace", BoolToText(p.Replace()));
        store.WriteString("Parity.ReplaceChar", CharToText(p.ReplaceChar()));
    }
    if (props.Contains(spBuffer)) {
        store.WriteInteger("Buffer.OutputSize", port.Buffer().OutputSize());
        store.WriteInteger("Buffer.InputSize", port.Buffer().InputSize());
    }
    if (props.Contains(spTimeouts)) {
        const TComTimeouts& t = port.Timeouts();
        store.WriteInteger("Timeouts.ReadInterval", t.ReadInterval());
        store.WriteInteger("Timeouts.ReadTotalConstant", t.ReadTotalConstant());
        store.WriteInteger("Timeouts.ReadTotalMultiplier", t.ReadTotalMultiplier());
        store.WriteInteger("Timeouts.WriteTotalConstant", t.WriteTotalConstant());
        store.WriteInteger("Timeouts.WriteTotalMultiplier", t.WriteTotalMultiplier());
    }
    if (props.Contains(spFlowControl)) {
        const TComFlowControl& f = port.FlowControl();
        store.WriteString("FlowControl.ControlRTS", RtsToText(f.ControlRTS()));
        store.WriteString("FlowControl.ControlDTR", DtrToText(f.ControlDTR()));
        store.WriteString("FlowControl.DSRSensitivity", BoolToText(f.DSRSensitivity()));
        store.WriteString("FlowControl.OutCTSFlow", BoolToText(f.OutCTSFlow()));
        store.WriteString("FlowControl.OutDSRFlow", BoolToText(f.OutDSRFlow()));
        store.WriteString("FlowControl.TxContinueOnXoff", BoolToText(f.TxContinueOnXoff()));
        store.WriteString("FlowControl.XonXoffIn", BoolToText(f.XonXoffIn()));
        store.WriteString("FlowControl.XonXoffOut", BoolToText(f.XonXoffOut()));
        store.WriteString("FlowControl.XoffChar", CharToText(f.XoffChar()));
        store.WriteString("FlowControl.XonChar", CharToText(f.XonChar()));
    }
}

void LoadGroups(TCustomComPort& port, const TIniStore& store) {
    const TStoredProps props = port.StoredProps();
    if (props.Contains(spBasic)) {
        port.SetPort(ReadText(store, "Port", port.Port()));
        port.SetBaudRate(
            StrToBaudRate(ReadText(store, "BaudRate", BaudRateToStr(port.BaudRate()))));
        if (port.BaudRate() == brCustom) {
            port.SetCustomBaudRate(ReadInt(store, "CustomBaudRate", 9600));
        }
        port.SetStopBits(
            StrToStopBits(ReadText(store, "StopBits", StopBitsToStr(port.StopBits()))));
        port.SetDataBits(
            StrToDataBits(ReadText(store, "DataBits", DataBitsToStr(port.DataBits()))));
        port.Parity().SetBits(
            StrToParity(ReadText(store, "Parity", ParityToStr(port.Parity().Bits()))));
        port.FlowControl().SetFlowControl(StrToFlowControl(
            ReadText(store, "FlowControl", FlowControlToStr(port.FlowControl().FlowControl()))));
    }
    if (props.Contains(spOthers)) {
        port.SetEventChar(TextToChar(ReadText(store, "EventChar", CharToText(port.EventChar()))));
        port.SetDiscardNull(
            TextToBool(ReadText(store, "DiscardNull", BoolToText(port.DiscardNull()))));
    }
    if (props.Contains(spParity)) {
        TComParity& p = port.Parity();
        p.SetCheck(TextToBool(ReadText(store, "Parity.Check", BoolToText(p.Check()))));
        p.SetReplace(TextToBool(ReadText(store, "Parity.Replace", BoolToText(p.Replace()))));
        p.SetReplaceChar(
            TextToChar(ReadText(store, "Parity.ReplaceChar", CharToText(p.ReplaceChar()))));
    }
    if (props.Contains(spBuffer)) {
        TComBuffer& b = port.Buffer();
        b.SetOutputSize(ReadInt(store, "Buffer.OutputSize", b.OutputSize()));
        b.SetInputSize(ReadInt(store, "Buffer.InputSize", b.InputSize()));
    }
    if (props.Contains(spTimeouts)) {
        TComTimeouts& t = port.Timeouts();
        t.SetReadInterval(ReadInt(store, "Timeouts.ReadInterval", t.ReadInterval()));
        t.SetReadTotalConstant(ReadInt(store, "Timeouts.ReadTotalConstant", t.ReadTotalConstant()));
        t.SetReadTotalMultiplier(
            ReadInt(store, "Timeouts.ReadTotalMultiplier", t.ReadTotalMultiplier()));
        t.SetWriteTotalConstant(
            ReadInt(store, "Timeouts.WriteTotalConstant", t.WriteTotalConstant()));
        t.SetWriteTotalMultiplier(
            ReadInt(store, "Timeouts.WriteTotalMultiplier", t.WriteTotalMultiplier()));
    }
    if (props.Contains(spFlowControl)) {
        TComFlowControl& f = port.FlowControl();
        f.SetControlRTS(
            TextToRts(ReadText(store, "FlowControl.ControlRTS", RtsToText(f.ControlRTS()))));
        f.SetControlDTR(
            TextToDtr(ReadText(store, "FlowControl.ControlDTR", DtrToText(f.ControlDTR()))));
        f.SetDSRSensitivity(TextToBool(
            ReadText(store, "FlowControl.DSRSensitivity", BoolToText(f.DSRSensitivity()))));
        f.SetOutCTSFlow(
            TextToBool(ReadText(store, "FlowControl.OutCTSFlow", BoolToText(f.OutCTSFlow()))));
        f.SetOutDSRFlow(
            TextToBool(ReadText(store, "FlowControl.OutDSRFlow", BoolToText(f.OutDSRFlow()))));
        f.SetTxContinueOnXoff(TextToBool(
            ReadText(store, "FlowControl.TxContinueOnXoff", BoolToText(f.TxContinueOnXoff()))));
        f.SetXonXoffIn(
            TextToBool(ReadText(store, "FlowControl.XonXoffIn", BoolToText(f.XonXoffIn()))));
        f.SetXonXoffOut(
            TextToBool(ReadText(store, "FlowControl.XonXoffOut", BoolToText(f.XonXoffOut()))));
        f.SetXoffChar(
            TextToChar(ReadText(store, "FlowControl.XoffChar", CharToText(f.XoffChar()))));
        f.SetXonChar(TextToChar(ReadText(store, "FlowControl.XonChar", CharToText(f.XonChar()))));
    }
}

}  // namespace

void TCustomComPort::StoreRegistry(TIniStore& store) {
    StoreGroups(*this, store);
}

void TCustomComPort::StoreIniFile(TIniStore& store) {
    StoreGroups(*this, store);
}

void TCustomComPort::LoadRegistry(TIniStore& store) {
    LoadGroups(*this, store);
}

void TCustomComPort::LoadIniFile(TIniStore& store) {
    LoadGroups(*this, store);
}

void TCustomComPort::StoreSettings(TStoreType storeType, const std::string& storeTo) {
    try {
        TIniStore store;
        const bool registry = storeType == stRegistry;
        const std::string file = registry ? RegistryFilePath() : storeTo;
        const std::string section = registry ? RegistrySection(storeTo, Name()) : Name();
        // A registry path without a key opens nothing; storing nowhere is a failure, not a
        // silent success.
        if (registry && section.empty()) {
            throw EComPort(CError_StoreFailed);
        }
        if (!store.LoadFile(file)) {
            throw EComPort(CError_StoreFailed);
        }
        store.Open(section, registry);
        if (registry) {
            StoreRegistry(store);
        } else {
            StoreIniFile(store);
        }
        if (!store.SaveFile(file)) {
            throw EComPort(CError_StoreFailed);
        }
    } catch (...) {
        // Whatever failed, the caller sees the one storing error.
        throw EComPort(CError_StoreFailed);
    }
}

void TCustomComPort::LoadSettings(TStoreType storeType, const std::string& loadFrom) {
    std::exception_ptr failure;
    try {
        BeginUpdate();
        try {
            TIniStore store;
            const bool registry = storeType == stRegistry;
            const std::string file = registry ? RegistryFilePath() : loadFrom;
            const std::string section = registry ? RegistrySection(loadFrom, Name()) : Name();
            if ((registry && section.empty()) || !store.LoadFile(file)) {
                throw EComPort(CError_LoadFailed);
            }
            store.Open(section, registry);
            if (registry) {
                LoadRegistry(store);
            } else {
                LoadIniFile(store);
            }
        } catch (...) {
            // Kept until the batch is closed, then raised as the loading error.
            failure = std::current_exception();
        }
        // The batch is closed whatever happened; settings already set stay set.
        EndUpdate();
    } catch (...) {
        // Applying the batch failed: also a loading error.
        failure = std::current_exception();
    }
    if (failure) {
        throw EComPort(CError_LoadFailed);
    }
}
