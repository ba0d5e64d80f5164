#pragma once

#include "app/core/CommandLine.h"

namespace zenta {

// Whether the command line asks for work without a window (--flash, --list).
bool IsHeadless(const CommandLineResult& commandLine);

// Does that work and returns the exit status; needs no display and no application object.
int RunHeadless(const CommandLineResult& commandLine);

}  // namespace zenta
