// Port enumeration of the engine on Linux.
#include "serial/CPort.h"
#include "serial/posix/SysfsPorts.h"

void EnumComPorts(std::vector<std::string>& list) {
    CollectComPorts(list, TPortRoots{});
}

void EnumComPorts(std::vector<std::string>& list, const std::string& sysfsRoot,
                  const std::string& devRoot, const std::string& tmpDir) {
    CollectComPorts(list, TPortRoots{sysfsRoot, devRoot, tmpDir});
}
