#include "platform/MemoryRegistry.h"
#include "platform/Registry.h"
#include "platform/RegistryHive.h"
#include "platform/SystemInfo.h"

#include <cstdio>
#include <cstdlib>

namespace vantor {

std::unique_ptr<Registry> openPlatformRegistry() {
    std::string path;
    if (const char* env = std::getenv("VANTOR_REGISTRY"); env && *env) {
        path = env;
    } else if (const std::string config = userConfigFolder(); !config.empty()) {
        path = config + "Quorvane/Vantor/registry.reg";
    } else {
        std::fprintf(stderr,
                     "Vantor: neither VANTOR_REGISTRY, XDG_CONFIG_HOME nor HOME is set; "
                     "settings are kept in memory only.\n");
        return std::make_unique<MemoryRegistry>();
    }
    return std::make_unique<RegistryHive>(path);
}

}  // namespace vantor
