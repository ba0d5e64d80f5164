#include "serial/net/Telnet.h"

namespace zenta::net {

using namespace telnet;

void AppendEscaped(std::string& out, const char* data, std::size_t n) {
    const char* begin = data;
    const char* const end = data + n;
    for (const char* p = data; p != end; ++p) {
        if (static_cast<uint8_t>(*p) == kIAC) {
            out.append(begin, p + 1);  // the byte itself, then its double
            out.push_back(static_cast<char>(kIAC));
            begin = p + 1;
        }
    }
    out.append(begin, end);
}

bool TTelnetCodec::Supported(uint8_t option) {
    return option == kOptBinary || option == kOptSuppressGoAhead || option == kOptComPort;
}

void TTelnetCodec::Request(std::string& out, uint8_t verb, uint8_t option) {
    auto& q = verb == kWILL ? local_[option] : remote_[option];
    if (q != TQ::No) {
        return;
    }
    q = TQ::WantYes;
    out += {static_cast<char>(kIAC), static_cast<char>(verb), static_cast<char>(option)};
}

std::string TTelnetCodec::Greeting(bool comPort) {
    std::string out;
    Request(out, kWILL, kOptBinary);
    Request(out, kDO, kOptBinary);
    Request(out, kWILL, kOptSuppressGoAhead);
    Request(out, kDO, kOptSuppressGoAhead);
    if (comPort) {
        Request(out, kWILL, kOptComPort);
    }
    return out;
}

void TTelnetCodec::Reply(uint8_t verb, uint8_t option) {
    if (replies_.size() + 3 > kMaxReplies) {
        return;
    }
    replies_ += {static_cast<char>(kIAC), static_cast<char>(verb), static_cast<char>(option)};
}

std::string TTelnetCodec::TakeReplies() {
    std::string out;
    out.swap(replies_);
    return out;
}

// Answers only changes of state, so two peers never answer each other in a loop.
void TTelnetCodec::Command(uint8_t verb, uint8_t option) {
    switch (verb) {
        case kWILL: {
            TQ& q = remote_[option];
            if (q == TQ::No) {
                if (Supported(option)) {
                    q = TQ::Yes;
                    Reply(kDO, option);
                } else {
                    Reply(kDONT, option);
                }
            } else {
                q = TQ::Yes;  // already on, or the answer to our DO
            }
            break;
        }
        case kWONT: {
            TQ& q = remote_[option];
            if (q == TQ::Yes) {
                Reply(kDONT, option);
            }
            q = TQ::No;
            break;
        }
        case kDO: {
            TQ& q = local_[option];
            if (q == TQ::No) {
                if (Supported(option)) {
                    q = TQ::Yes;
                    Reply(kWILL, option);
                } else {
                    Reply(kWONT, option);
                }
            } else {
                q = TQ::Yes;
            }
            break;
        }
        case kDONT: {
            TQ& q = local_[option];
            if (q == TQ::Yes) {
                Reply(kWONT, option);
            } else if (q == TQ::WantYes) {
                localRefused_[option] = true;
            }
            q = TQ::No;
            break;
        }
        default:
            break;
    }
}

void TTelnetCodec::Feed(const char* p, std::size_t n, std::string& data) {
    const char* const end = p + n;
    while (p != end) {
        const uint8_t c = static_cast<uint8_t>(*p);
        switch (state_) {
            case TState::Data: {
                // Runs of plain data are copied at once.
                const char* run = p;
                while (p != end && static_cast<uint8_t>(*p) != kIAC) {
                    ++p;
                }
                data.append(run, p);
                if (p != end) {
                    state_ = TState::Iac;
                    ++p;
                }
                continue;
            }
            case TState::Iac:
                if (c == kIAC) {
                    data.push_back(static_cast<char>(kIAC));
                    state_ = TState::Data;
                } else if (c >= kWILL) {
                    verb_ = c;
                    state_ = TState::Option;
                } else if (c == kSB) {
                    state_ = TState::SubOption;
                } else {
                    state_ = TState::Data;  // NOP, GA, DM and the rest carry nothing for us
                }
                break;
            case TState::Option:
                Command(verb_, c);
                state_ = TState::Data;
                break;
            case TState::SubOption:
                subOption_ = c;
                sub_.clear();
                subOverflow_ = false;
                state_ = TState::Sub;
                break;
            case TState::Sub: {
                const char* run = p;
                while (p != end && static_cast<uint8_t>(*p) != kIAC) {
                    ++p;
                }
                const std::size_t len = static_cast<std::size_t>(p - run);
                if (!subOverflow_ && sub_.size() + len <= kMaxSub) {
                    sub_.append(run, len);
                } else {
                    subOverflow_ = true;
                    sub_.clear();
                }
                if (p != end) {
                    state_ = TState::SubIac;
                    ++p;
                }
                continue;
            }
            case TState::SubIac:
                if (c == kIAC) {
                    if (!subOverflow_ && sub_.size() < kMaxSub) {
                        sub_.push_back(static_cast<char>(kIAC));
                    } else {
                        subOverflow_ = true;
                        sub_.clear();
                    }
                    state_ = TState::Sub;
                } else if (c == kSE) {
                    if (!subOverflow_ && onSub_) {
                        onSub_(subOption_, sub_);
                    }
                    sub_.clear();
                    state_ = TState::Data;
                } else {
                    // A sub-negotiation cut off by another command: dropped, and the
                    // command taken as if after a plain IAC.
                    sub_.clear();
                    state_ = TState::Iac;
                    continue;
                }
                break;
        }
        ++p;
    }
}

}  // namespace zenta::net
