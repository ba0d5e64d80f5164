// Friendly names from the udev database (empty when udev is absent or does not know).
#pragma once

#include <string>

namespace zenta {

// `ttyName` is the kernel name, e.g. "ttyUSB0". Returns "Vendor Model (serial)" from
// ID_VENDOR_FROM_DATABASE / ID_VENDOR, ID_MODEL_FROM_DATABASE / ID_MODEL, ID_SERIAL_SHORT.
std::string UdevFriendlyName(const std::string& ttyName);

// Joins the known parts as "Vendor Model (serial)"; any part may be empty.
std::string JoinFriendlyName(const std::string& vendor, const std::string& model,
                             const std::string& serial);

}  // namespace zenta
