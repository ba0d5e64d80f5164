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
              const std::vector<std::string>& names, const std::vector<std::size_t>& order,
              std::ostream& out) {
    out << "\xEF\xBB\xBF" << CsvField(timeHeader);
    for (std::size_t s : order) {
        out << ',' << CsvField(s < names.size() ? names[s] : std::string());
    }
    out << "\r\n";

    // Merge the series by line: each row takes the next point of every series whose next
    // point is of the earliest line.
    const std::size_t count = order.size();
    std::vector<std::size_t> next(count, 0);
    std::string row;
    char number[32];
    for (;;) {
        uint64_t line = std::numeric_limits<uint64_t>::max();
        double t = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t s = order[k];
            if (next[k] < store.Size(s) && store.Line(s, next[k]) < line) {
                line = store.Line(s, next[k]);
                t = store.X(s, next[k], XMode::Time);
            }
        }
        if (line == std::numeric_limits<uint64_t>::max()) {
            break;
        }
        row.clear();
        auto r = std::to_chars(number, number + sizeof number, t, std::chars_format::fixed, 3);
        row.append(number, r.ptr);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t s = order[k];
            row += ',';
            if (next[k] < store.Size(s) && store.Line(s, next[k]) == line) {
                // Shortest text that reads back as the same double.
                r = std::to_chars(number, number + sizeof number, store.Value(s, next[k]));
                row.append(number, r.ptr);
                ++next[k];
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

bool WriteCsv(const PointStore& store, const std::string& timeHeader,
              const std::vector<std::string>& names, std::ostream& out) {
    std::vector<std::size_t> order(store.SeriesCount());
    for (std::size_t s = 0; s < order.size(); ++s) {
        order[s] = s;
    }
    return WriteCsv(store, timeHeader, names, order, out);
}

}  // namespace zenta::plot
