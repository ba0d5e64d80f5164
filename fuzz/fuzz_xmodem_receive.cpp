// The XMODEM receiver (checksum, CRC-16, 1K blocks) against any byte stream and clock.
#include "TransferFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zenta::fuzz::RunReceiver(data, size, false);
    return 0;
}
