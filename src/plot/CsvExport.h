#pragma once
// Every kept point as CSV for a spreadsheet: UTF-8 with a byte order mark, a header row,
// then one row per receive time with the time in seconds since the first point and one
// column per series. Points of one line share a row; a series without a point at that
// time leaves its cell empty.

#include <ostream>
#include <string>
#include <vector>

#include "plot/PointStore.h"

namespace zenta::plot {

// `timeHeader` and `names` (UTF-8, one per series of `store`) make the header row.
// Returns false when the stream failed.
bool WriteCsv(const PointStore& store, const std::string& timeHeader,
              const std::vector<std::string>& names, std::ostream& out);

// A CSV field, quoted when it holds a comma, quote or line break.
std::string CsvField(const std::string& text);

}  // namespace zenta::plot
