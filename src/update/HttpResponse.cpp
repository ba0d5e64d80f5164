#include "update/HttpResponse.h"

#include <algorithm>
#include <cctype>

namespace zenta {

namespace {

constexpr std::size_t kChunkLineLimit = 1024;

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Decimal digits only, no overflow; false otherwise.
bool ParseDecimal(std::string_view s, std::uint64_t& out) {
    if (s.empty() || s.size() > 18) {
        return false;
    }
    out = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return false;
        }
        out = out * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

bool ParseHex(std::string_view s, std::uint64_t& out) {
    if (s.empty() || s.size() > 15) {
        return false;
    }
    out = 0;
    for (char c : s) {
        int d = 0;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        } else {
            return false;
        }
        out = out * 16 + static_cast<std::uint64_t>(d);
    }
    return true;
}

}  // namespace

HttpResponse::HttpResponse(std::size_t bodyLimit) : bodyLimit_(std::min(bodyLimit, BodyLimit)) {}

bool HttpResponse::Fail(const char* why) {
    state_ = State::Failed;
    error_ = why;
    line_.clear();
    line_.shrink_to_fit();
    body_.clear();
    body_.shrink_to_fit();
    return false;
}

std::size_t HttpResponse::Feed(std::string_view bytes) {
    std::size_t used = 0;
    while (used < bytes.size() && (state_ == State::Head || state_ == State::Body)) {
        const std::string_view rest = bytes.substr(used);
        used += state_ == State::Head ? FeedHead(rest) : FeedBody(rest);
    }
    return used;
}

void HttpResponse::Closed() {
    if (state_ == State::Body && framing_ == Framing::UntilClose) {
        state_ = State::Done;
    } else if (state_ == State::Head || state_ == State::Body) {
        Fail("connection closed before the response was complete");
    }
}

// Head lines end at LF (CR LF or a bare LF); every byte counts against the head limit, the
// head lines of skipped 1xx answers included.
std::size_t HttpResponse::FeedHead(std::string_view bytes) {
    const std::size_t lf = bytes.find('\n');
    const std::size_t take = lf == std::string_view::npos ? bytes.size() : lf + 1;
    headBytes_ += take;
    if (headBytes_ > HeaderLimit) {
        Fail("response head too large");
        return take;
    }
    if (lf == std::string_view::npos) {
        line_.append(bytes);
        return take;
    }
    line_.append(bytes.substr(0, lf));
    if (!line_.empty() && line_.back() == '\r') {
        line_.pop_back();
    }
    const std::string line = std::move(line_);
    line_.clear();
    if (line.empty() && statusLineSeen_) {
        EndOfHead();
    } else if (!line.empty()) {
        TakeHeadLine(line);
    }
    return take;
}

bool HttpResponse::TakeHeadLine(std::string_view line) {
    if (!statusLineSeen_) {
        // "HTTP/1.1 200 OK"
        if (line.size() < 12 || line.substr(0, 5) != "HTTP/" || line[8] != ' ') {
            return Fail("not an HTTP response");
        }
        std::uint64_t status = 0;
        if (!ParseDecimal(line.substr(9, 3), status) || status < 100 || status > 599 ||
            (line.size() > 12 && line[12] != ' ')) {
            return Fail("bad status line");
        }
        status_ = static_cast<int>(status);
        statusLineSeen_ = true;
        return true;
    }
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || colon == 0) {
        return Fail("bad header line");
    }
    const std::string name = Lower(Trim(line.substr(0, colon)));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (name == "content-length") {
        std::uint64_t n = 0;
        if (!ParseDecimal(value, n) || (lengthSeen_ && n != length_)) {
            return Fail("bad Content-Length");
        }
        length_ = n;
        lengthSeen_ = true;
    } else if (name == "transfer-encoding") {
        const std::string v = Lower(value);
        if (v.size() < 7 || v.compare(v.size() - 7, 7, "chunked") != 0) {
            return Fail("unknown transfer coding");
        }
        framing_ = Framing::Chunked;
    } else if (name == "location") {
        location_ = std::string(value);
    }
    return true;
}

bool HttpResponse::EndOfHead() {
    if (status_ == 101) {
        return Fail("unexpected protocol switch");
    }
    if (status_ < 200) {
        // An interim answer: the real one follows.
        statusLineSeen_ = false;
        status_ = 0;
        location_.clear();
        framing_ = Framing::UntilClose;
        lengthSeen_ = false;
        length_ = 0;
        return true;
    }
    state_ = State::Body;
    if (status_ == 204 || status_ == 304) {
        framing_ = Framing::None;
    } else if (framing_ != Framing::Chunked && lengthSeen_) {
        framing_ = Framing::Length;
        if (length_ > bodyLimit_) {
            return Fail("body too large");
        }
    }
    if (framing_ == Framing::None || (framing_ == Framing::Length && length_ == 0)) {
        state_ = State::Done;
    }
    return true;
}

bool HttpResponse::AppendBody(std::string_view bytes) {
    if (body_.size() + bytes.size() > bodyLimit_) {
        return Fail("body too large");
    }
    body_.append(bytes);
    return true;
}

std::size_t HttpResponse::FeedBody(std::string_view bytes) {
    switch (framing_) {
        case Framing::Length: {
            const std::size_t take =
                static_cast<std::size_t>(std::min<std::uint64_t>(length_, bytes.size()));
            if (AppendBody(bytes.substr(0, take))) {
                length_ -= take;
                if (length_ == 0) {
                    state_ = State::Done;
                }
            }
            return take;
        }
        case Framing::UntilClose:
            AppendBody(bytes);
            return bytes.size();
        case Framing::Chunked:
            return FeedChunked(bytes);
        case Framing::None:
            break;
    }
    state_ = State::Done;
    return 0;
}

std::size_t HttpResponse::FeedChunked(std::string_view bytes) {
    if (chunk_ == ChunkStep::Data) {
        const std::size_t take =
            static_cast<std::size_t>(std::min<std::uint64_t>(length_, bytes.size()));
        if (AppendBody(bytes.substr(0, take))) {
            length_ -= take;
            if (length_ == 0) {
                chunk_ = ChunkStep::DataEnd;
            }
        }
        return take;
    }
    // Size lines, the break after each chunk's data and the trailer are lines.
    const std::size_t lf = bytes.find('\n');
    const std::size_t take = lf == std::string_view::npos ? bytes.size() : lf + 1;
    const std::size_t limit = chunk_ == ChunkStep::Trailer ? HeaderLimit : kChunkLineLimit;
    if (chunk_ == ChunkStep::Trailer) {
        headBytes_ += take;
    }
    if (line_.size() + take > limit || headBytes_ > HeaderLimit) {
        Fail("chunk line too long");
        return take;
    }
    line_.append(bytes.substr(0, lf == std::string_view::npos ? bytes.size() : lf));
    if (lf == std::string_view::npos) {
        return take;
    }
    const std::string_view line = Trim(line_);
    switch (chunk_) {
        case ChunkStep::Size: {
            std::uint64_t size = 0;
            const std::string_view digits = Trim(line.substr(0, line.find(';')));
            if (!ParseHex(digits, size)) {
                Fail("bad chunk size");
                return take;
            }
            if (size > bodyLimit_ - body_.size()) {
                Fail("body too large");
                return take;
            }
            length_ = size;
            chunk_ = size == 0 ? ChunkStep::Trailer : ChunkStep::Data;
            break;
        }
        case ChunkStep::DataEnd:
            if (!line.empty()) {
                Fail("chunk data longer than its size");
                return take;
            }
            chunk_ = ChunkStep::Size;
            break;
        case ChunkStep::Trailer:
            if (line.empty()) {
                state_ = State::Done;
            }
            break;
        case ChunkStep::Data:
            break;
    }
    line_.clear();
    return take;
}

}  // namespace zenta
