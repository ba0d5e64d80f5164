#pragma once
// Binding between a list control and one line parameter of a port. No widget code:
// the control hands in its own item list through TComItems.

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

#include "serial/CPort.h"

enum TComProperty : uint8_t {
    cpNone,
    cpPort,
    cpBaudRate,
    cpDataBits,
    cpStopBits,
    cpParity,
    cpFlowControl
};

// The item list of the owning control; TComSelect fills and searches it.
class TComItems {
  public:
    virtual ~TComItems() = default;
    virtual void Clear() = 0;
    virtual void Add(const std::string& text) = 0;
    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    // Index of the first item equal to text ignoring case, -1 when absent.
    virtual int IndexOf(const std::string& text) const = 0;
};

class TComSelect {
  public:
    explicit TComSelect(TComItems& items) : items_(items) {}
    ~TComSelect();
    TComSelect(const TComSelect&) = delete;
    TComSelect& operator=(const TComSelect&) = delete;

    TComItems& Items() const { return items_; }

    // Not owned: the binding is weak and dropped when the port dies first.
    TCustomComPort* ComPort() const { return port_; }
    // Binds to port (or none); `dropped` runs after the binding was dropped because the
    // port was destroyed. Returns false when port was already the bound one.
    bool SetComPort(TCustomComPort* port, std::function<void()> dropped = {});

    TComProperty ComProperty() const { return property_; }
    // Stores the property and refills the item list, index = enumeration ordinal.
    void SetComProperty(TComProperty property);

    bool AutoApply() const { return autoApply_; }
    void SetAutoApply(bool value) { autoApply_ = value; }

    // A user's choice: stores the value the text stands for, applies it with AutoApply.
    // A value the open port refuses raises from here.
    void Change(const std::string& text);
    // What a control calls for a user's choice: Change, with a refusal sent where a port's
    // handler exceptions go (TCustomComPort::ExceptionHandler, else stderr) instead of into
    // the event loop. Returns false when the choice was refused.
    bool ChangeByUser(const std::string& text);
    // Passes the pending value of the current property to the bound port.
    void ApplySettings();
    // Sets itemIndex to the item showing the port's current value (-1 when absent)
    // and takes that value as pending. Without a port itemIndex is left alone.
    void UpdateSettings(int& itemIndex);

    // Pending values; the port name is empty until one was chosen or found.
    const std::optional<std::string>& PendingPort() const { return portName_; }
    TBaudRate PendingBaudRate() const { return baudRate_; }
    TDataBits PendingDataBits() const { return dataBits_; }
    TStopBits PendingStopBits() const { return stopBits_; }
    TParityBits PendingParity() const { return parity_; }
    TFlowControl PendingFlowControl() const { return flowControl_; }

  private:
    void Store(const std::string& text);
    std::string CurrentText() const;

    TComItems& items_;
    TCustomComPort* port_ = nullptr;
    TComProperty property_ = cpNone;
    bool autoApply_ = false;

    std::optional<std::string> portName_;
    // Zero ordinals, which are also what item 0 of each list stands for.
    TBaudRate baudRate_ = brCustom;
    TDataBits dataBits_ = dbFive;
    TStopBits stopBits_ = sbOneStopBit;
    TParityBits parity_ = prNone;
    TFlowControl flowControl_ = fcHardware;
};
