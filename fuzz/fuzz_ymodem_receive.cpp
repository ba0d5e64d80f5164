// The YMODEM receiver (headers, sizes, batches) against any byte stream and clock.
#include "TransferFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zenta::fuzz::RunReceiver(data, size, true);
    return 0;
}
