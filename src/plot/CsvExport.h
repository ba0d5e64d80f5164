#pragma once
// Every kept point as CSV for a spreadsheet: UTF-8 with a byte order mark, a header row,
// then one row per received line with the time in seconds since the first point and one
// column per series. A series without a point in that line leaves its cell empty.

#include <ostream>
#include <string>
#include <vector>

#include "plot/PointStore.h"

namespace zenta::plot {

// `timeHeader` and `names` (UTF-8, one per series of `store`) make the header row; `order`
// lists the series in the order of the file's columns. Returns false when the stream
// failed.
bool WriteCsv(const PointStore& store, const std::string& timeHeader,
              const std::vector<std::string>& names, const std::vector<std::size_t>& order,
              std::ostream& out);
// The series in the order they were created.
bool WriteCsv(const PointStore& store, const std::string& timeHeader,
              const std::vector<std::string>& names, std::ostream& out);

// A CSV field, quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string& text);

}  // namespace zenta::plot
