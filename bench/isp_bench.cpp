// 64 KiB flashed at 460800 bit/s on the simulated bootloader with line timing, with 0 ms
// and 2 ms reply latency: stm32flash, zenta's run in the real window and zenta's run on
// the engine alone, all against the same simulator in the same process run. The line alone
// needs 256 x (2 + 5 + 258 + 3) characters of 11 bits. A fourth figure: the CPU time the
// window spends while a silent chip is awaited for the full ~10.1 s.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "app/ChartPanel.h"
#include "app/ConnectionPanel.h"
#include "app/FileRowPanel.h"
#include "app/LinkBar.h"
#include "app/MainWindow.h"
#include "app/PanelWidgets.h"
#include "app/PreparedPanel.h"
#include "app/ProgrammerPage.h"
#include "app/ReceivePanel.h"
#include "app/SaveFolder.h"
#include "app/SendPanel.h"
#include "app/StatusPanels.h"
#include "app/UiPrompts.h"
#include "app/UpdateCheck.h"
#include "app/WindowState.h"
#include "datapath/qt/ReceiveView.h"
#include "isp/kit/IspHarness.h"
#include "serial/ctl/CPortCtl.h"
#include "support/DevsimProcess.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kImageBytes = 64 * 1024;

struct Files {
    QTemporaryDir dir;
    std::string bin;
    std::string hex;
    Files() {
        std::vector<std::uint8_t> image(kImageBytes);
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
        }
        bin = dir.filePath("image.bin").toStdString();
        hex = dir.filePath("image.hex").toStdString();
        std::ofstream(bin, std::ios::binary)
            .write(reinterpret_cast<const char*>(image.data()), static_cast<long>(image.size()));
        std::ofstream(hex, std::ios::binary) << isp_test::HexText(image);
    }
};

Files& TheFiles() {
    static Files files;
    return files;
}

struct Simulator {
    devsim_test::TempLink link;
    std::unique_ptr<devsim_test::DevsimProcess> process;
    explicit Simulator(int latencyMs, bool silent = false) {
        std::vector<std::string> args = {
            "bootloader", "--quiet", "--line-timing", "--latency-ms", std::to_string(latencyMs),
            "--link",     link.path};
        if (silent) {
            args.insert(args.end(), {"--fault", "silence"});
        }
        process = std::make_unique<devsim_test::DevsimProcess>(args);
        devsim_test::WaitForPath(link.path);
    }
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

class QuietPrompts : public UiPrompts {
  public:
    void ShowMessage(const QString&) override {}
    std::optional<QString> InputQuery(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    std::optional<QFont> ChooseFont(const QFont&) override { return std::nullopt; }
    QString OpenFile(const QString&, const QString&) override { return {}; }
};

std::unique_ptr<MainWindow> OpenWindow(const std::string& port) {
    static QuietPrompts prompts;
    SetPrompts(&prompts);
    ConnectionPanel::PortEntrySource = [port] { return std::vector<std::string>{port}; };
    auto form = std::make_unique<MainWindow>();
    form->startTimer->stop();
    form->show();
    // The port stored by an earlier case stays the box's choice: pick this one as a user does.
    form->connection->RefreshPortList();
    TComComboBox* box = form->connection->portBox;
    box->SelectByUser(box->findText(QString::fromStdString(port)));
    panel_widgets::InvokeClick(form->connection->openButton);
    form->files->pathEdit->setText(QString::fromStdString(TheFiles().hex));
    form->programmer->middleRadio->setChecked(true);
    return form;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The run goes on from the window's events after the click: they are served until it ends.
void WaitForRun(MainWindow& form) {
    QEventLoop loop;
    QObject::connect(form.programmer, &ProgrammerPage::runEnded, &loop, &QEventLoop::quit);
    if (form.programmer->Running()) {
        loop.exec();
    }
}

// One round = stm32flash, zenta's window, zenta's run on the engine alone, one after the
// other on the same simulator, so that all three meet the same machine load; the figures
// are the medians of the rounds. The reported time is the window's.
void BM_SideBySide(benchmark::State& state) {
    const bool haveStm32flash = ::access("/usr/bin/stm32flash", X_OK) == 0;
    Simulator sim(static_cast<int>(state.range(0)));
    auto form = OpenWindow(sim.link.path);
    panel_widgets::InvokeClick(form->connection->openButton);  // closed between its runs
    const std::string cmd = "/usr/bin/stm32flash -m 8n1 -b 460800 -w " + TheFiles().bin +
                            " -g 0x0 " + sim.link.path + " > /dev/null 2>&1";
    std::vector<double> flash;
    std::vector<double> window;
    std::vector<double> engine;
    for (auto _ : state) {
        for (int round = 0; round < 5; ++round) {
            if (haveStm32flash) {
                const auto t0 = Clock::now();
                if (std::system(cmd.c_str()) != 0) {
                    state.SkipWithError("stm32flash failed");
                    return;
                }
                flash.push_back(Seconds(t0));
            }

            panel_widgets::InvokeClick(form->connection->openButton);
            const auto t1 = Clock::now();
            form->programmer->onStartClicked();
            WaitForRun(*form);
            window.push_back(Seconds(t1));
            panel_widgets::InvokeClick(form->connection->openButton);
            if (!form->receive->view->toPlainText().contains(
                    QStringLiteral("Program 65536 bytes"))) {
                state.SkipWithError("window run failed");
                return;
            }

            isp_test::TIspHarness h(sim.link.path);
            h.fileName = TheFiles().hex;
            const auto t2 = Clock::now();
            if (h.Run(17) != zenta::isp::RunEnd::Programmed) {
                state.SkipWithError("engine run failed");
                return;
            }
            engine.push_back(Seconds(t2));
        }
        state.SetIterationTime(Median(window));
    }
    if (haveStm32flash) {
        state.counters["stm32flash_s"] = Median(flash);
    }
    state.counters["window_s"] = Median(window);
    state.counters["engine_s"] = Median(engine);
    state.counters["line_s"] = 256.0 * (2 + 5 + 258 + 3) * 11 / 460800;
}
BENCHMARK(BM_SideBySide)
    ->Arg(0)
    ->Arg(2)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The matrix of the programmer: 64 KiB on f1 and 512 KiB on f4 at 460800 bit/s, reply
// latency 0 and 2 ms, verify on and off; zenta headless (the real program) and the window,
// beside stm32flash with -v and without (from the same HEX file, and without -v from the
// binary too), in alternating rounds on one simulator; medians of 5, with each run's own
// share of its time from the simulator's trace. Like for like: zenta erases the pages the
// image covers and does not pulse DTR/RTS, as stm32flash without -i does. The window
// always resets the chip: 15 ms of pulse and start-up wait.
struct MatrixImage {
    std::string bin;
    std::string hex;
};

MatrixImage ImageOf(std::size_t bytes) {
    std::vector<std::uint8_t> image(bytes);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 9));
    }
    const QString base = TheFiles().dir.filePath(QStringLiteral("m%1").arg(bytes));
    MatrixImage m{(base + ".bin").toStdString(), (base + ".hex").toStdString()};
    std::ofstream(m.bin, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), static_cast<long>(image.size()));
    std::ofstream(m.hex, std::ios::binary) << isp_test::HexText(image);
    return m;
}

// The program the headless runs start: this build's, or ZENTA_APP (a copy kept for
// comparing builds while this one is rebuilt).
std::string ZentaProgram() {
    const char* other = std::getenv("ZENTA_APP");
    return other && *other ? other : ZENTA_APP_PATH;
}

double Timed(const std::string& cmd, bool& ok) {
    const auto t0 = Clock::now();
    ok = std::system(cmd.c_str()) == 0;
    return Seconds(t0);
}

// The simulator's trace of the runs so far: each run's own share of its time, that is
// from each reply to the program's next write, and the replies it took.
class TraceReader {
  public:
    explicit TraceReader(std::string path) : path_(std::move(path)) {}
    struct Run {
        double hostMs = 0;
        int replies = 0;
    };
    // The run that ended last; waits for the simulator to see the port closed.
    Run Next() {
        Run run;
        for (int tries = 0; tries < 200; ++tries) {
            std::ifstream in(path_);
            in.seekg(offset_);
            std::string text((std::istreambuf_iterator<char>(in)), {});
            const std::size_t close = text.find("close ");
            if (close == std::string::npos) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            const std::size_t end = text.find('\n', close);
            offset_ +=
                static_cast<std::streamoff>(end == std::string::npos ? text.size() : end + 1);
            std::istringstream lines(text.substr(0, close));
            std::string kind;
            long long t = 0;
            long long lastReply = -1;
            std::string rest;
            while (lines >> kind >> t && std::getline(lines, rest)) {
                if (kind == "tx") {
                    ++run.replies;
                    lastReply = t;
                } else if (kind == "rx" && lastReply >= 0) {
                    run.hostMs += static_cast<double>(t - lastReply) / 1000.0;
                    lastReply = -1;
                }
            }
            return run;
        }
        return run;
    }

  private:
    std::string path_;
    std::streamoff offset_ = 0;
};

void BM_Matrix(benchmark::State& state) {
    const bool f4 = state.range(0) == 1;
    const int latency = static_cast<int>(state.range(1));
    const bool haveStm32flash = ::access("/usr/bin/stm32flash", X_OK) == 0;
    const MatrixImage image = ImageOf(f4 ? 512 * 1024 : 64 * 1024);
    devsim_test::TempLink link;
    const std::string tracePath = TheFiles().dir.filePath(QStringLiteral("trace")).toStdString();
    std::remove(tracePath.c_str());
    devsim_test::DevsimProcess sim({"bootloader", "--quiet", "--line-timing", "--latency-ms",
                                    std::to_string(latency), "--chip", f4 ? "f4" : "f1", "--link",
                                    link.path, "--trace", tracePath});
    devsim_test::WaitForPath(link.path);
    TraceReader trace(tracePath);
    // stm32flash reads the HEX file zenta reads; from the binary as well, its fastest input.
    const auto stm32flash = [&](const std::string& file, const char* extra) {
        return "/usr/bin/stm32flash -m 8n1 -b 460800 -w " + file + extra + " -g 0x0 " + link.path +
               " > /dev/null 2>&1";
    };
    const std::string zentaCmd = ZentaProgram() + " --flash " + image.hex + " " + link.path +
                                 " --baud 460800 --erase pages --no-reset";
    auto form = OpenWindow(link.path);
    form->files->pathEdit->setText(QString::fromStdString(image.hex));
    form->programmer->erasePagesCheck->setChecked(true);
    panel_widgets::InvokeClick(form->connection->openButton);  // closed between its runs
    std::map<std::string, std::vector<double>> t;
    // Besides the wall time, each run's own share (host_ms) and its replies from the trace.
    const auto timed = [&](const std::string& name, double seconds) {
        const TraceReader::Run run = trace.Next();
        t[name + "_s"].push_back(seconds);
        t[name + "_host_ms"].push_back(run.hostMs);
        t[name + "_replies"].push_back(run.replies);
    };
    for (auto _ : state) {
        for (int round = 0; round < 5; ++round) {
            bool ok = true;
            if (haveStm32flash) {
                timed("stm32flash_v", Timed(stm32flash(image.hex, " -v"), ok));
                timed("stm32flash", Timed(stm32flash(image.hex, ""), ok));
                timed("stm32flash_bin", Timed(stm32flash(image.bin, ""), ok));
            }
            timed("headless_verify", Timed(zentaCmd + " 2>/dev/null", ok));
            timed("headless", Timed(zentaCmd + " --no-verify 2>/dev/null", ok));
            if (!ok) {
                state.SkipWithError("a run failed");
                return;
            }
            for (const bool verify : {true, false}) {
                form->programmer->verifyCheck->setChecked(verify);
                form->receive->view->clear();
                const auto t0 = Clock::now();
                form->programmer->onStartClicked();
                WaitForRun(*form);
                timed(verify ? "window_verify" : "window", Seconds(t0));
                // The window speaks Chinese here: "用户程序已运行!" ends a run that went well.
                if (!form->receive->view->toPlainText().contains(
                        QStringLiteral("用户程序已运行"))) {
                    state.SkipWithError("window run failed");
                    return;
                }
            }
        }
        state.SetIterationTime(Median(t["headless_verify_s"]));
    }
    for (auto& [name, values] : t) {
        state.counters[name] = Median(values);
    }
}
BENCHMARK(BM_Matrix)
    ->Args({0, 0})
    ->Args({0, 2})
    ->Args({1, 0})
    ->Args({1, 2})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

double CpuSeconds(int who = RUSAGE_SELF) {
    rusage ru{};
    getrusage(who, &ru);
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// The CPU time of `zenta --flash` on an F4 whose whole-chip erase takes its typical 8 s:
// the wait for the erase's acknowledgement should cost next to nothing.
void BM_SlowEraseCpuHeadless(benchmark::State& state) {
    const MatrixImage image = ImageOf(16 * 1024);
    devsim_test::TempLink link;
    devsim_test::DevsimProcess sim(
        {"bootloader", "--quiet", "--line-timing", "--chip", "f4", "--link", link.path});
    devsim_test::WaitForPath(link.path);
    const std::string cmd =
        ZentaProgram() + " --flash " + image.hex + " " + link.path + " --baud 460800 2>/dev/null";
    for (auto _ : state) {
        const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
        bool ok = true;
        state.SetIterationTime(Timed(cmd, ok));
        if (!ok) {
            state.SkipWithError("zenta --flash failed");
            return;
        }
        state.counters["cpu_s"] = CpuSeconds(RUSAGE_CHILDREN) - cpu0;
    }
}
BENCHMARK(BM_SlowEraseCpuHeadless)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SilentChipWindow(benchmark::State& state) {
    Simulator sim(0, /*silent=*/true);
    auto form = OpenWindow(sim.link.path);
    for (auto _ : state) {
        const double cpu0 = CpuSeconds();
        const auto t0 = Clock::now();
        form->programmer->onStartClicked();
        WaitForRun(*form);
        state.SetIterationTime(Seconds(t0));
        state.counters["cpu_s"] = CpuSeconds() - cpu0;
    }
}
BENCHMARK(BM_SilentChipWindow)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("ZENTA_CONFIG_DIR", TheFiles().dir.path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
