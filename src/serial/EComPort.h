// The port engine's exception and its error codes.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

enum : int {
    CError_OpenFailed = 1,
    CError_WriteFailed = 2,
    CError_ReadFailed = 3,
    CError_InvalidAsync = 4,
    CError_PurgeFailed = 5,
    CError_AsyncCheck = 6,
    CError_SetStateFailed = 7,
    CError_TimeoutsFailed = 8,
    CError_SetupComFailed = 9,
    CError_ClearComFailed = 10,
    CError_ModemStatFailed = 11,
    CError_EscapeComFailed = 12,
    CError_TransmitFailed = 13,
    CError_ConnChangeProp = 14,
    CError_EnumPortsFailed = 15,
    CError_StoreFailed = 16,
    CError_LoadFailed = 17,
    CError_RegFailed = 18,
    CError_LedStateFailed = 19,
    CError_ThreadCreated = 20,
    CError_WaitFailed = 21,
    CError_HasLink = 22,
    CError_RegError = 23
};

namespace zenta {

// What a failed device call means to the engine. The system's own error number travels
// beside it, for messages only.
enum class TDeviceFault : uint8_t {
    None,         // success, or a failure no system call reported
    Gone,         // the device disappeared (unplugged adapter, closed pty master)
    Busy,         // another program holds the device
    Denied,       // no permission to use the device
    Unsupported,  // the device lacks the feature (a pseudo-terminal has no modem lines)
    TryAgain,     // nothing to read, or no room to write, right now
    Refused,      // any other refusal
};

}  // namespace zenta

// Text of an engine error code 1-23; empty for any other code.
std::string ComErrorText(int code);

class EComPort : public std::runtime_error {
  public:
    // systemCode is the system's error number of the failed call, -1 when none was made;
    // fault is what the device made of it.
    explicit EComPort(int code, int systemCode = -1,
                      zenta::TDeviceFault fault = zenta::TDeviceFault::None);

    int ErrorCode() const { return code_; }
    int SystemErrorCode() const { return systemCode_; }
    // Busy and Denied after a refused Open tell the user what to do about it.
    zenta::TDeviceFault Fault() const { return fault_; }

  private:
    int code_;
    int systemCode_;
    zenta::TDeviceFault fault_;
};
