#pragma once

#include <string>
#include <vector>

#include "devsim/Options.h"
#include "devsim/Session.h"

namespace devsim {

using ModeRun = int (*)(Session&, const Options&);

// One behaviour of the simulated device. A new mode is a Run function in its own file plus
// one entry in the table of Modes.cpp.
struct ModeInfo {
    const char* name;
    const char* summary;  // one line for --help
    bool waitOpenByDefault;
    ModeRun run;
};

const std::vector<ModeInfo>& AllModes();
const ModeInfo* FindMode(const std::string& name);

// Honours --wait-open (or the mode's default) and --start-delay. False on a stop request.
bool WaitBeforeSending(Session& session, const Options& options);

int RunEcho(Session& session, const Options& options);
int RunStream(Session& session, const Options& options);
int RunTelemetry(Session& session, const Options& options);

}  // namespace devsim
