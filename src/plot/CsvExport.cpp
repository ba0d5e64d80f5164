#include "plot/CsvExport.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace zenta::plot {

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
    return out;
}

bool WriteCsv(const PointStore& store, const std::string& timeHeader,
              const std::vector<std::string>& names, std::ostream& out) {
    out << "\xEF\xBB\xBF" << CsvField(timeHeader);
    const std::size_t count = store.SeriesCount();
    for (std::size_t s = 0; s < count; ++s) {
        out << ',' << CsvField(s < names.size() ? names[s] : std::string());
    }
    out << "\r\n";

    // Merge the series by time: each row takes the next point of every series whose next
    // point has the earliest time, so two lines in the same millisecond stay two rows.
    std::vector<std::size_t> next(count, 0);
    std::string row;
    char number[32];
    for (;;) {
        double t = std::numeric_limits<double>::infinity();
        for (std::size_t s = 0; s < count; ++s) {
            if (next[s] < store.Size(s)) {
                t = std::min(t, store.X(s, next[s], XMode::Time));
            }
        }
        if (t == std::numeric_limits<double>::infinity()) {
            break;
        }
        row.clear();
        auto r = std::to_chars(number, number + sizeof number, t, std::chars_format::fixed, 3);
        row.append(number, r.ptr);
        for (std::size_t s = 0; s < count; ++s) {
            row += ',';
            if (next[s] < store.Size(s) && store.X(s, next[s], XMode::Time) == t) {
                // Shortest text that reads back as the same double.
                r = std::to_chars(number, number + sizeof number, store.Value(s, next[s]));
                row.append(number, r.ptr);
                ++next[s];
            }
        }
        row += "\r\n";
        out << row;
        if (!out) {
            return false;
        }
    }
    out.flush();
    return static_cast<bool>(out);
}

}  // namespace zenta::plot
