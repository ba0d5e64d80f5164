// Port enumeration of the engine on Linux.
#include "serial/CPort.h"
#include "serial/posix/SysfsPorts.h"

void EnumComPorts(std::vector<std::string>& list) {
    zenta::CollectComPorts(list, zenta::TPortRoots{});
}

void EnumComPorts(std::vector<std::string>& list, const std::string& sysfsRoot,
                  const std::string& devRoot, const std::string& tmpDir) {
    zenta::CollectComPorts(list, zenta::TPortRoots{sysfsRoot, devRoot, tmpDir});
}
