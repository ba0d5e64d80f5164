// Find in 5 MB of kept receive text (the window's UTF-16 text, as the find bar reads it):
// literal with and without case, regular expression, hex bytes in the HEX form, the
// update after one more line, and the line filter; beside a plain string_view::find
// scan and std::regex on the same text.
#include <benchmark/benchmark.h>

#include <limits>
#include <regex>
#include <string>

#include "datapath/qt/RegexMatcher.h"
#include "datapath/text/Highlight.h"
#include "datapath/text/LineFilter.h"
#include "datapath/text/LiveMatches.h"
#include "datapath/text/TextSearch.h"

using namespace zenta;

namespace {

constexpr std::size_t kTextUnits = 5 * 1000 * 1000;
constexpr std::size_t kKept = 100'000;
constexpr std::size_t kCounted = 1'000'000;

// A device log: mostly info lines, a fault now and then, stamps in front.
const std::u16string& LogText() {
    static const std::u16string text = [] {
        std::u16string t;
        t.reserve(kTextUnits + 200);
        for (int i = 0; t.size() < kTextUnits; ++i) {
            const std::string n = std::to_string(i);
            const std::u16string num(n.begin(), n.end());
            t += u"[12:00:" + num.substr(0, 2) + u".123] ";
            if (i % 97 == 0)
                t += u"E (" + num + u") i2c: ERROR bus stuck, addr 0x48\n";
            else
                t += u"I (" + num + u") wifi: temp=" + num.substr(0, 2) + u" rssi=-61 ok\n";
        }
        return t;
    }();
    return text;
}

// The HEX form of about 1.7 MB of lines ending in CR LF: 5 MB of text.
const std::u16string& HexText() {
    static const std::u16string text = [] {
        static const char16_t* digits = u"0123456789ABCDEF";
        const std::string line = "I (1234) wifi: temp=25 rssi=-61 ok\r\n";
        std::u16string t;
        t.reserve(kTextUnits + 200);
        while (t.size() < kTextUnits) {
            for (unsigned char b : line) {
                t.push_back(digits[b >> 4]);
                t.push_back(digits[b & 15]);
                t.push_back(u' ');
            }
        }
        return t;
    }();
    return text;
}

void Report(benchmark::State& state, const std::u16string& text, std::size_t matches) {
    state.counters["matches"] = static_cast<double>(matches);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size() * 2));
}

void BM_Find(benchmark::State& state, const std::u16string& text, const TextMatcher& m) {
    std::size_t n = 0;
    for (auto _ : state) {
        const MatchList list = FindAll(text, m, kKept, kCounted);
        n = list.total;
        benchmark::DoNotOptimize(list.matches.data());
    }
    Report(state, text, n);
}

void BM_LiteralCase(benchmark::State& state) {
    BM_Find(state, LogText(), LiteralMatcher(u"ERROR", true));
}
void BM_LiteralNoCase(benchmark::State& state) {
    BM_Find(state, LogText(), LiteralMatcher(u"error", false));
}
void BM_LiteralNoCaseRareFirst(benchmark::State& state) {
    BM_Find(state, LogText(), LiteralMatcher(u"bus stuck", false));
}
void BM_LiteralManyMatches(benchmark::State& state) {
    BM_Find(state, LogText(), LiteralMatcher(u"rssi", false));
}
void BM_Regex(benchmark::State& state) {
    BM_Find(state, LogText(), RegexMatcher(QStringLiteral("ERROR bus \\w+"), true));
}
void BM_RegexNoCase(benchmark::State& state) {
    BM_Find(state, LogText(), RegexMatcher(QStringLiteral("temp=9[0-9]"), false));
}
void BM_HexBytes(benchmark::State& state) {
    BM_Find(state, HexText(), HexBytesMatcher(*HexBytesMatcher::Normalize(u"0d0a")));
}

// References on the same text: the standard library's find (no case folding, no
// match list), and std::regex, which the widget layer does not use.
void BM_RefStringViewFind(benchmark::State& state) {
    const std::u16string_view text = LogText();
    std::size_t n = 0;
    for (auto _ : state) {
        n = 0;
        for (std::size_t at = text.find(u"ERROR"); at != std::u16string_view::npos;
             at = text.find(u"ERROR", at + 5)) {
            ++n;
        }
        benchmark::DoNotOptimize(n);
    }
    Report(state, LogText(), n);
}
void BM_RefStdRegex(benchmark::State& state) {
    const std::u16string& u = LogText();
    const std::wstring text(u.begin(), u.end());
    const std::wregex re(L"ERROR bus \\w+");
    std::size_t n = 0;
    for (auto _ : state) {
        n = static_cast<std::size_t>(
            std::distance(std::wsregex_iterator(text.begin(), text.end(), re), {}));
        benchmark::DoNotOptimize(n);
    }
    Report(state, u, n);
}

// One more line after 5 MB: what the find bar does on each refresh while data comes.
void BM_LiveUpdateOneLine(benchmark::State& state) {
    std::u16string text = LogText();
    const LiteralMatcher m(u"error", false);
    // Counted without limit, so that every update does its work.
    LiveMatches live(kKept, std::numeric_limits<std::size_t>::max());
    live.update(text, m);
    for (auto _ : state) {
        text += u"E (1) i2c: ERROR bus stuck\n";
        benchmark::DoNotOptimize(live.update(text, m));
    }
    state.counters["matches"] = static_cast<double>(live.list().total);
}

void BM_FilterWhole(benchmark::State& state) {
    const LiteralMatcher m(u"error", false);
    std::size_t n = 0;
    for (auto _ : state) {
        LineFilter f;
        std::u16string out;
        f.feed(LogText(), m, out, LogText().size());
        n = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    Report(state, LogText(), n);
}

// The highlight rules over one screen of rows (what each paint asks for).
void BM_RulesOneScreen(benchmark::State& state) {
    std::vector<ActiveRule> rules;
    rules.push_back({std::make_unique<LiteralMatcher>(u"ERROR", true), HighlightRule{}});
    rules.push_back(
        {std::make_unique<RegexMatcher>(QStringLiteral("temp=\\d+"), false), HighlightRule{}});
    const std::u16string& text = LogText();
    const std::size_t from = text.size() / 2;
    std::vector<HighlightSpan> out;
    for (auto _ : state) {
        out.clear();
        CollectRuleSpans(text, from, from + 50 * 60, rules, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["spans"] = static_cast<double>(out.size());
}

}  // namespace

BENCHMARK(BM_LiteralCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralNoCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralNoCaseRareFirst)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiteralManyMatches)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Regex)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegexNoCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HexBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefStringViewFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefStdRegex)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LiveUpdateOneLine)->Unit(benchmark::kMicrosecond)->Iterations(100000);
BENCHMARK(BM_FilterWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RulesOneScreen)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
