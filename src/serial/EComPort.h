// The port engine's exception and its error codes.
#pragma once

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

// Text of an engine error code 1-23; empty for any other code.
std::string ComErrorText(int code);

class EComPort : public std::runtime_error {
  public:
    // systemCode is the errno of the failed system call, -1 when none was made.
    explicit EComPort(int code, int systemCode = -1);

    int ErrorCode() const { return code_; }
    int SystemErrorCode() const { return systemCode_; }

  private:
    int code_;
    int systemCode_;
};
