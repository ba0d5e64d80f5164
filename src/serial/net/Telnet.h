// Telnet framing for a network port: the data stream with its 0xFF bytes doubled, option
// negotiation, and sub-negotiations handed on whole. No sockets: bytes in, bytes out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace zenta::net {

namespace telnet {
constexpr uint8_t kSE = 240;
constexpr uint8_t kNOP = 241;
constexpr uint8_t kSB = 250;
constexpr uint8_t kWILL = 251;
constexpr uint8_t kWONT = 252;
constexpr uint8_t kDO = 253;
constexpr uint8_t kDONT = 254;
constexpr uint8_t kIAC = 255;

constexpr uint8_t kOptBinary = 0;
constexpr uint8_t kOptSuppressGoAhead = 3;
constexpr uint8_t kOptComPort = 44;
}  // namespace telnet

// Appends n data bytes to out with every 0xFF doubled.
void AppendEscaped(std::string& out, const char* data, std::size_t n);

// The client side of a Telnet connection. Feed decodes what the server sent; replies the
// negotiation calls for collect until TakeReplies.
class TTelnetCodec {
  public:
    // Longest sub-negotiation kept; a longer one is swallowed up to its end and dropped.
    static constexpr std::size_t kMaxSub = 1024;
    // Replies waiting beyond this are not added to: a server that floods requests gets
    // no more answers than a sane one would.
    static constexpr std::size_t kMaxReplies = 4096;

    // Called with the option and the payload (unescaped) of each whole sub-negotiation.
    using TSubHandler = std::function<void(uint8_t option, std::string_view payload)>;

    TTelnetCodec() = default;
    void SetSubHandler(TSubHandler handler) { onSub_ = std::move(handler); }

    // The requests a client opens with: BINARY and SUPPRESS-GO-AHEAD both ways, and, with
    // comPort, our side of COM-PORT-OPTION.
    std::string Greeting(bool comPort);

    // Decodes received bytes; data bytes are appended to data.
    void Feed(const char* p, std::size_t n, std::string& data);
    std::string TakeReplies();

    // Whether we (local) or the server (remote) perform the option now.
    bool LocalEnabled(uint8_t option) const { return local_[option] == TQ::Yes; }
    bool RemoteEnabled(uint8_t option) const { return remote_[option] == TQ::Yes; }
    // The server refused an option we asked for.
    bool LocalRefused(uint8_t option) const { return localRefused_[option]; }

  private:
    enum class TQ : uint8_t { No, Yes, WantYes };
    enum class TState : uint8_t { Data, Iac, Option, SubOption, Sub, SubIac };

    void Command(uint8_t verb, uint8_t option);
    void Reply(uint8_t verb, uint8_t option);
    void Request(std::string& out, uint8_t verb, uint8_t option);
    static bool Supported(uint8_t option);

    TState state_ = TState::Data;
    uint8_t verb_ = 0;
    uint8_t subOption_ = 0;
    bool subOverflow_ = false;
    std::string sub_;
    std::string replies_;
    std::array<TQ, 256> local_{};
    std::array<TQ, 256> remote_{};
    std::array<bool, 256> localRefused_{};
    TSubHandler onSub_;
};

}  // namespace zenta::net
