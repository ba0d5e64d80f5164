#include "update/UpdateConfig.h"

#ifndef ZENTA_UPDATE_URL
#define ZENTA_UPDATE_URL ""
#endif
#ifndef ZENTA_HOME_URL
#define ZENTA_HOME_URL ""
#endif
#ifndef ZENTA_DOWNLOAD_URL
#define ZENTA_DOWNLOAD_URL ""
#endif

namespace zenta {

std::string ConfiguredUpdateUrl() {
    return ZENTA_UPDATE_URL;
}
std::string ConfiguredHomeUrl() {
    return ZENTA_HOME_URL;
}
std::string ConfiguredDownloadUrl() {
    return ZENTA_DOWNLOAD_URL;
}

std::string DefaultHeaderLink(int index, const std::string& home, const std::string& download) {
    return index == 3 ? download : home;
}

}  // namespace zenta
