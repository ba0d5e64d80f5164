// Reading an HTTP answer as it arrives, within fixed limits.
#include <gtest/gtest.h>

#include <string>

#include "update/HttpResponse.h"

using zenta::HttpResponse;
using State = HttpResponse::State;

namespace {

// Feeds `bytes` in slices of `step` bytes, as a slow network delivers them.
HttpResponse Read(const std::string& bytes, std::size_t step, bool close = false) {
    HttpResponse r;
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        r.Feed(std::string_view(bytes).substr(at, step));
    }
    if (close) {
        r.Closed();
    }
    return r;
}

}  // namespace

TEST(HttpResponse, FramingsGiveTheSameBodyInAnySlices) {
    const std::string page = "Home\r\nhttp://h.test/1\r\n";
    const std::string length = "HTTP/1.1 200 OK\r\nContent-Length: 23\r\n\r\n" + page + "extra";
    const std::string chunked =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
        "6;ext=1\r\nHome\r\n\r\n11\r\nhttp://h.test/1\r\n\r\n0\r\nX-Trailer: t\r\n\r\n";
    const std::string untilClose = "HTTP/1.0 200 OK\nServer: x\n\n" + page;
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n" + length;
    for (std::size_t step : {1u, 3u, 7u, 4096u}) {
        const HttpResponse a = Read(length, step);
        EXPECT_EQ(a.state(), State::Done);
        EXPECT_EQ(a.Status(), 200);
        EXPECT_EQ(a.Body(), page);
        const HttpResponse b = Read(chunked, step);
        EXPECT_EQ(b.state(), State::Done) << b.Error();
        EXPECT_EQ(b.Body(), page);
        const HttpResponse c = Read(untilClose, step, true);
        EXPECT_EQ(c.state(), State::Done);
        EXPECT_EQ(c.Body(), page);
        const HttpResponse d = Read(interim, step);
        EXPECT_EQ(d.Status(), 200);
        EXPECT_EQ(d.Body(), page);
    }
    // Bytes past the announced end are not taken.
    HttpResponse r;
    EXPECT_EQ(r.Feed(length), length.size() - 5);

    const HttpResponse moved =
        Read("HTTP/1.1 302 Found\r\nLOCATION:  /zenta/again \r\nContent-Length: 0\r\n\r\n", 5);
    EXPECT_EQ(moved.state(), State::Done);
    EXPECT_EQ(moved.Location(), "/zenta/again");
    EXPECT_EQ(Read("HTTP/1.1 204 No Content\r\n\r\n", 9).state(), State::Done);
}

// A server that never ends its head or body is cut off at the limit: the reader never
// holds more than the limits however much arrives.
TEST(HttpResponse, FloodsEndAtTheLimits) {
    HttpResponse head;
    head.Feed("HTTP/1.1 200 OK\r\n");
    const std::string line = "X-Flood: " + std::string(1000, 'a') + "\r\n";
    std::size_t sent = 0;
    while (head.state() == State::Head && sent < (1u << 20)) {
        sent += head.Feed(line);
    }
    EXPECT_EQ(head.state(), State::Failed);
    EXPECT_LE(sent, HttpResponse::HeaderLimit + line.size());
    // One endless line, no break at all.
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nX: " + std::string(20000, 'b'), 512).state(), State::Failed);
    EXPECT_EQ(Read(std::string(20000, 'H'), 1000).state(), State::Failed);
    // Endless 1xx answers count against the same limit.
    std::string interims;
    for (int i = 0; i < 2000; ++i) {
        interims += "HTTP/1.1 100 Continue\r\n\r\n";
    }
    EXPECT_EQ(Read(interims, 100).state(), State::Failed);

    const std::string big = std::string(HttpResponse::BodyLimit + 1, 'x');
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 70000\r\n\r\n", 10).state(),
              State::Failed);  // refused before any body byte
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\n\r\n" + big, 4096).state(), State::Failed);
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10001\r\n", 7).state(),
              State::Failed);
    std::string chunks = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 70; ++i) {
        chunks += "400\r\n" + std::string(0x400, 'c') + "\r\n";
    }
    EXPECT_EQ(Read(chunks, 999).state(), State::Failed);
    EXPECT_EQ(
        Read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(5000, '0'), 100)
            .state(),
        State::Failed);
}

TEST(HttpResponse, MalformedOrCutAnswersFail) {
    for (const char* bad :
         {"HTTP/1.1 2000 OK\r\n\r\n", "SMTP ready\r\n\r\n", "HTTP/1.1 200 OK\r\nno colon\r\n\r\n",
          "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n",
          "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nContent-Length: 2\r\n\r\n",
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\n", "HTTP/1.1 101 Switching\r\n\r\n",
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nab\r\n"}) {
        EXPECT_EQ(Read(bad, 3).state(), State::Failed) << bad;
    }
    // The connection closed before the announced end, or inside the head.
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", 4, true).state(),
              State::Failed);
    EXPECT_EQ(Read("HTTP/1.1 200 OK\r\nServer:", 4, true).state(), State::Failed);
    EXPECT_EQ(Read("", 1, true).state(), State::Failed);
}
