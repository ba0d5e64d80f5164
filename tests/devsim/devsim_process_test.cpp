// Runs the built devsim and talks to it through its published link, as a terminal would.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devsim/Checksum.h"
#include "devsim/Pattern.h"
#include "devsim/Telemetry.h"
#include "devsim/support/CustomSpeed.h"
#include "support/DevsimProcess.h"

using namespace devsim_test;

namespace {

std::string CrcText(const std::string& bytes) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X",
                  devsim::Crc32Of(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    return text;
}

std::string PatternBytes(devsim::PatternKind kind, uint32_t seed, size_t n) {
    std::string out(n, '\0');
    devsim::PatternGenerator gen(kind, seed);
    gen.Fill(reinterpret_cast<uint8_t*>(out.data()), n);
    return out;
}

// Writes and reads at the same time, as the echo may push back before all is written.
std::string Exchange(int fd, const std::string& data) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    std::string got;
    size_t sent = 0;
    char buf[65536];
    while (got.size() < data.size()) {
        pollfd p{fd, static_cast<short>(POLLIN | (sent < data.size() ? POLLOUT : 0)), 0};
        if (poll(&p, 1, 10000) <= 0) {
            break;
        }
        if ((p.revents & POLLOUT) && sent < data.size()) {
            const ssize_t n = write(fd, data.data() + sent, data.size() - sent);
            if (n > 0) {
                sent += static_cast<size_t>(n);
            }
        }
        if (p.revents & POLLIN) {
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0) {
                got.append(buf, static_cast<size_t>(n));
            }
        }
    }
    return got;
}

}  // namespace

TEST(DevsimProcess, EchoSendsBackEveryByteAndReportsEachNewBitRate) {
    TempLink link;
    DevsimProcess sim({"echo", "--link", link.path});
    ASSERT_TRUE(WaitForPath(link.path));

    const int fd = OpenRawPort(link.path, B115200);
    ASSERT_GE(fd, 0);
    EXPECT_NE(sim.WaitForLine("port set to 115200 8N1"), "");

    // Every byte value, more than the pty can buffer at once, so the echo has to wait
    // for room without losing anything.
    std::string data;
    for (int i = 0; i < 300 * 1024; ++i) {
        data += static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    EXPECT_EQ(Exchange(fd, data), data);

    termios t{};
    tcgetattr(fd, &t);
    cfsetspeed(&t, B9600);
    t.c_cflag |= CSTOPB;
    tcsetattr(fd, TCSANOW, &t);
    EXPECT_NE(sim.WaitForLine("port set to 9600 8N2"), "");

    ASSERT_TRUE(SetCustomSpeed(fd, 600000));
    EXPECT_NE(sim.WaitForLine("port set to 600000 8N2"), "");
    close(fd);

    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.WaitExit(), 0);
}

TEST(DevsimProcess, StreamDeliversExactlyThePatternItsChecksumNames) {
    struct Case {
        std::vector<std::string> args;
        devsim::PatternKind kind;
        uint32_t seed;
        size_t bytes;
    };
    const std::vector<Case> cases = {
        {{"--bytes", "3M", "--pattern", "random", "--seed", "7"},
         devsim::PatternKind::Random,
         7,
         3u << 20},
        // Paced and not a multiple of the internal chunk size.
        {{"--bytes", "10001", "--pattern", "counter", "--rate", "40K"},
         devsim::PatternKind::Counter,
         1,
         10001},
        {{"--bytes", "5000", "--pattern", "ascii", "--wait-open"},
         devsim::PatternKind::Ascii,
         1,
         5000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args[3]);
        TempLink link;
        std::vector<std::string> args = {"stream", "--link", link.path, "--quiet"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        DevsimProcess sim(args);
        ASSERT_TRUE(WaitForPath(link.path));

        const int fd = OpenRawPort(link.path, B115200);
        ASSERT_GE(fd, 0);
        const std::string got = ReadExactly(fd, c.bytes);
        const std::string result = sim.WaitForLine("sent ");
        EXPECT_EQ(result,
                  "devsim: sent " + std::to_string(c.bytes) + " bytes crc32 " + CrcText(got));
        EXPECT_EQ(got, PatternBytes(c.kind, c.seed, c.bytes));

        // Nothing more than the stated count arrives.
        EXPECT_EQ(ReadExactly(fd, 1, 200), "");
        close(fd);
        EXPECT_EQ(sim.WaitExit(), 0);
    }
}

TEST(DevsimProcess, StreamCutShortByTheReaderIsReportedAsIncomplete) {
    TempLink link;
    DevsimProcess sim({"stream", "--link", link.path, "--bytes", "64M"});
    ASSERT_TRUE(WaitForPath(link.path));
    const int fd = OpenRawPort(link.path, B115200);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(ReadExactly(fd, 100000).size(), 100000u);
    close(fd);

    EXPECT_EQ(sim.WaitExit(), 3);
    EXPECT_EQ(sim.Output().find("devsim: sent "), std::string::npos);
}

TEST(DevsimProcess, TelemetryPrintsGbkReadingLinesAndWaveSamples) {
    {
        TempLink link;
        DevsimProcess sim({"telemetry", "--link", link.path, "--interval", "20", "--lines", "3"});
        ASSERT_TRUE(WaitForPath(link.path));
        const int fd = OpenRawPort(link.path, B115200);
        ASSERT_GE(fd, 0);
        const std::string expected =
            devsim::TelemetryLine(1) + devsim::TelemetryLine(2) + devsim::TelemetryLine(3);
        const std::string got = ReadExactly(fd, expected.size());
        EXPECT_EQ(got, expected);
        // The first line, spelled out byte by byte.
        const std::string temp = "\xCE\xC2\xB6\xC8=";
        ASSERT_EQ(got.compare(0, temp.size(), temp), 0);
        EXPECT_NE(got.find("\xBC\xC6\xCA\xFD=1 "), std::string::npos);
        EXPECT_NE(got.find("\xBC\xC6\xCA\xFD=3 "), std::string::npos);
        EXPECT_EQ(ReadExactly(fd, 1, 200), "");
        close(fd);
        EXPECT_EQ(sim.WaitExit(), 0);
    }
    {
        TempLink link;
        DevsimProcess sim({"telemetry", "--link", link.path, "--wave", "sine", "--wave-rate",
                           "2000", "--wave-period", "50"});
        ASSERT_TRUE(WaitForPath(link.path));
        const int fd = OpenRawPort(link.path, B115200);
        ASSERT_GE(fd, 0);
        const std::string got = ReadExactly(fd, 120);
        ASSERT_EQ(got.size(), 120u);
        for (size_t i = 0; i < got.size(); ++i) {
            ASSERT_EQ(static_cast<uint8_t>(got[i]),
                      devsim::WaveSample(devsim::WaveKind::Sine, i, 50))
                << "sample " << i;
        }
        close(fd);
        sim.Signal(SIGINT);
        EXPECT_EQ(sim.WaitExit(), 0);
    }
}

TEST(DevsimProcess, LinkPointsAtTheTerminalAndGoesAwayOnStop) {
    for (int sig : {SIGTERM, SIGINT}) {
        TempLink link;
        DevsimProcess sim({"echo", "--link", link.path, "--quiet"});
        ASSERT_TRUE(WaitForPath(link.path));
        struct stat st {};
        ASSERT_EQ(stat(link.path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));

        sim.Signal(sig);
        EXPECT_EQ(sim.WaitExit(), 0);
        EXPECT_NE(lstat(link.path.c_str(), &st), 0) << "link left behind after signal " << sig;
    }
}

TEST(DevsimProcess, LinkPathIsTakenOnlyWhenThatIsSafe) {
    TempLink link;
    {
        // A regular file is never replaced.
        std::ofstream(link.path) << "keep";
        DevsimProcess sim({"echo", "--link", link.path});
        EXPECT_EQ(sim.WaitExit(), 1);
        std::ifstream in(link.path);
        std::string content;
        in >> content;
        EXPECT_EQ(content, "keep");
        unlink(link.path.c_str());
    }
    {
        // A link from a run that died is replaced; one in use is not, without --force.
        ASSERT_EQ(symlink("/dev/pts/does-not-exist", link.path.c_str()), 0);
        DevsimProcess first({"echo", "--link", link.path});
        ASSERT_NE(first.WaitForLine("echo device"), "");

        DevsimProcess second({"echo", "--link", link.path});
        EXPECT_EQ(second.WaitExit(), 1);
        struct stat st {};
        EXPECT_EQ(stat(link.path.c_str(), &st), 0) << "the running device lost its link";

        first.Signal(SIGTERM);
        EXPECT_EQ(first.WaitExit(), 0);
    }
}

TEST(DevsimProcess, ReplugDropsThePortAndPublishesTheLinkOnANewTerminal) {
    TempLink link;
    DevsimProcess sim({"echo", "--link", link.path, "--replug-after", "300"});
    ASSERT_TRUE(WaitForPath(link.path));
    const std::string before = std::filesystem::read_symlink(link.path).string();
    const int fd = OpenRawPort(link.path, B115200);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Exchange(fd, "before"), "before");

    // The program holding the old terminal reads its end, as after an unplug.
    ASSERT_NE(sim.WaitForLine("replugged"), "");
    char c;
    EXPECT_LE(read(fd, &c, 1), 0);
    close(fd);

    const std::string after = std::filesystem::read_symlink(link.path).string();
    EXPECT_NE(after, before);
    const int again = OpenRawPort(link.path, B115200);
    ASSERT_GE(again, 0);
    EXPECT_EQ(Exchange(again, "after"), "after");
    close(again);
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.WaitExit(), 0);
}

TEST(DevsimProcess, BadCommandLinesEndWithUsageCode) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"warp"},
                                               {"stream", "--bytes", "12Q"},
                                               {"echo", "--link"},
                                               {"echo", "--replug-after", "soon"}}) {
        DevsimProcess sim(args);
        EXPECT_EQ(sim.WaitExit(), 2);
    }
}
