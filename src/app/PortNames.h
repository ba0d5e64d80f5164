#pragma once

#include <string>
#include <utility>
#include <vector>

// Port list entries are "NAME" or "NAME friendly text"; these helpers turn them back into
// the name the port is opened with and build the list shown in the port box.

// "/dev/ttyUSB0 USB Serial" -> "/dev/ttyUSB0"; "COM012 x" -> "COM12";
// "rfc2217://host:2217" as it is; no port name -> "".
std::string NormalizePortName(const std::string& entry);

struct PortCandidate {
    std::string device;    // device path
    std::string friendly;  // may be empty
};

// Entries in port list order of the device name, each "device" or "device friendly".
std::vector<std::string> BuildPortEntries(std::vector<PortCandidate> ports);

// Index of the entry naming currentPort, else 0 (-1 for an empty list).
int PickPortEntry(const std::vector<std::string>& entries, const std::string& currentPort);

// Drop-down width in pixels: the longest entry's byte length times 6.5, truncated.
int PortDropDownWidth(const std::vector<std::string>& entriesAsBytes);
