#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Programming from the command line: the same run as the window's, on a port of its own,
// with its steps on stderr. No Qt.
namespace zenta::isp {

struct FlashRequest {
    std::string file;
    std::string port;  // empty: the first port of the port list
    int bitRate = 115200;
    bool verify = true;
    bool erasePages = false;
    bool reset = true;
    bool english = true;
    std::optional<std::uint32_t> address;  // a raw binary's start; unset = the flash base
};

// Exit statuses of `zenta --flash`.
inline constexpr int kFlashDone = 0;
inline constexpr int kFlashRefused = 1;       // the chip or the file refused, or no answer
inline constexpr int kFlashBadArguments = 2;  // given by the command line parser
inline constexpr int kFlashPortFailure = 3;

// Runs one programming run; steps go to `err`, a progress bar too when `progressBar`.
// A SIGINT while it runs stops it like the window's Stop button.
int RunFlash(const FlashRequest& request, std::FILE* err, bool progressBar);

// The serial ports in port-list order, one "path[ friendly name]" a line.
std::vector<std::string> ListPorts();

}  // namespace zenta::isp
