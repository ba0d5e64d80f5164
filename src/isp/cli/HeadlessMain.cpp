#include "isp/cli/HeadlessMain.h"

#include <unistd.h>

#include <cstdio>

#include "isp/cli/FlashCli.h"

namespace zenta {

bool IsHeadless(const CommandLineResult& commandLine) {
    return commandLine.action == CommandLineResult::Action::Flash ||
           commandLine.action == CommandLineResult::Action::List;
}

int RunHeadless(const CommandLineResult& commandLine) {
    if (commandLine.action == CommandLineResult::Action::List) {
        for (const std::string& entry : isp::ListPorts()) {
            std::printf("%s\n", entry.c_str());
        }
        return 0;
    }
    const StartOptions& o = commandLine.options;
    isp::FlashRequest request;
    request.file = o.flash.file.toLocal8Bit().toStdString();
    request.port = o.port ? o.port->toLocal8Bit().toStdString() : std::string();
    request.bitRate = o.baudRate.value_or(request.bitRate);
    request.verify = o.flash.verify;
    request.erasePages = o.flash.erasePages;
    request.reset = o.flash.reset;
    request.address = o.flash.address;
    request.english = o.english.value_or(true);
    return isp::RunFlash(request, stderr, ::isatty(STDERR_FILENO) != 0);
}

}  // namespace zenta
