#pragma once

#include <string>

namespace zenta {

// Addresses set when the program is built (CMake cache). Each may be empty: without an
// update address the program sends no request; without link addresses the header
// labels open nothing.
std::string ConfiguredUpdateUrl();
std::string ConfiguredHomeUrl();
std::string ConfiguredDownloadUrl();

// Address a header label falls back to when the page gave it none: the download page
// for the fourth label, the home page for the others.
std::string DefaultHeaderLink(int index, const std::string& home, const std::string& download);

}  // namespace zenta
