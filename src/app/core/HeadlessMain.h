#pragma once
// The command line's work without a window: the parsed options become a request to
// the headless flasher (isp/cli) or the port list.

#include "app/core/CommandLine.h"

namespace zenta {

// Whether the command line asks for work without a window (--flash, --list).
bool IsHeadless(const CommandLineResult& commandLine);

// Does that work and returns the exit status; needs no display and no application object.
int RunHeadless(const CommandLineResult& commandLine);

}  // namespace zenta
