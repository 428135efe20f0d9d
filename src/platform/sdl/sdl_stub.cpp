#include "platform/platform.h"

namespace tessel {

std::unique_ptr<Platform> makeSdlPlatform(const PlatformConfig&, std::string* error) {
    if (error) *error = "the window backend is not built yet";
    return nullptr;
}

}  // namespace tessel
