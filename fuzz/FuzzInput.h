#pragma once
// Splits one fuzz input into typed values, front to back; an exhausted input gives zeros.
// Built with gcc as well as clang, so it does not rely on libFuzzer's own headers.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

namespace zenta {

class FuzzInput {
  public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool ConsumeBool() { return (TakeByte() & 1) != 0; }

    template <class T>
    T ConsumeIntegral() {
        static_assert(std::is_integral_v<T>);
        std::make_unsigned_t<T> v = 0;
        for (std::size_t i = 0; i < sizeof(T) && size_ > 0; ++i) {
            v = static_cast<std::make_unsigned_t<T>>((v << 8) | TakeByte());
        }
        T out;
        std::memcpy(&out, &v, sizeof out);
        return out;
    }

    // A value in [lo, hi].
    template <class T>
    T ConsumeIntegralInRange(T lo, T hi) {
        const uint64_t span = static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo);
        const uint64_t raw = ConsumeIntegral<uint64_t>();
        return static_cast<T>(static_cast<uint64_t>(lo) +
                              (span == UINT64_MAX ? raw : raw % (span + 1)));
    }

    // Up to maxLength bytes, ended early by a backslash not followed by another one (so
    // the fuzzer can place the end of a string by inserting one byte).
    std::string ConsumeRandomLengthString(std::size_t maxLength) {
        std::string out;
        while (out.size() < maxLength && size_ > 0) {
            const char c = static_cast<char>(TakeByte());
            if (c == '\\' && size_ > 0) {
                const char next = static_cast<char>(TakeByte());
                if (next != '\\') {
                    break;
                }
            }
            out.push_back(c);
        }
        return out;
    }

    std::string ConsumeRemainingBytesAsString() {
        std::string out(reinterpret_cast<const char*>(data_), size_);
        data_ += size_;
        size_ = 0;
        return out;
    }

  private:
    uint8_t TakeByte() {
        if (size_ == 0) {
            return 0;
        }
        --size_;
        return *data_++;
    }

    const uint8_t* data_;
    std::size_t size_;
};

}  // namespace zenta
