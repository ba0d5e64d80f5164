#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zenta {

// Reads one HTTP/1.x response as its bytes arrive, holding at most the limits below: a
// server that sends headers or a body without end is cut off at the limit instead of
// filling memory. Interim 1xx answers are skipped.
class HttpResponse {
  public:
    static constexpr std::size_t HeaderLimit = 16 * 1024;  // status line and all headers
    static constexpr std::size_t BodyLimit = 64 * 1024;

    enum class State { Head, Body, Done, Failed };

    // `bodyLimit`: the largest body taken (at most BodyLimit).
    explicit HttpResponse(std::size_t bodyLimit = BodyLimit);

    // Takes the next bytes; returns how many were used (all but those past the end of the
    // response). Stops taking bytes once Done or Failed.
    std::size_t Feed(std::string_view bytes);
    // The peer closed the connection: a body that runs to the close ends here; any other
    // response still incomplete fails.
    void Closed();

    State state() const { return state_; }
    bool HeadComplete() const { return state_ != State::Head && status_ != 0; }
    int Status() const { return status_; }
    // The Location header of the final response (empty when none).
    const std::string& Location() const { return location_; }
    const std::string& Body() const { return body_; }
    // Why it failed, for tests and logs.
    const std::string& Error() const { return error_; }

  private:
    enum class Framing { Length, Chunked, UntilClose, None };
    enum class ChunkStep { Size, Data, DataEnd, Trailer };

    bool Fail(const char* why);
    bool TakeHeadLine(std::string_view line);
    bool EndOfHead();
    std::size_t FeedHead(std::string_view bytes);
    std::size_t FeedBody(std::string_view bytes);
    std::size_t FeedChunked(std::string_view bytes);
    bool AppendBody(std::string_view bytes);

    std::size_t bodyLimit_;
    State state_ = State::Head;
    std::string line_;           // the head or chunk line being read
    std::size_t headBytes_ = 0;  // of this response's head
    bool statusLineSeen_ = false;
    int status_ = 0;
    std::string location_;
    Framing framing_ = Framing::UntilClose;
    std::uint64_t length_ = 0;  // Content-Length, or the current chunk's size
    bool lengthSeen_ = false;
    ChunkStep chunk_ = ChunkStep::Size;
    std::string body_;
    std::string error_;
};

}  // namespace zenta
