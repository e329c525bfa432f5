#include "D2xxBackend.h"

#include <dlfcn.h>

#include "PluginLocation.h"

std::string D2xxBackend::nameInUse(bool simulated) {
    if (simulated) {
        return "simulator";
    }
    // RTLD_NOLOAD: only the libftd2xx.so the plug-in pulled in counts.
    void* library = dlopen("libftd2xx.so", RTLD_NOLOAD | RTLD_LAZY);
    std::string name = "vendor library";
    if (library != nullptr) {
        using NameFunction = const char* (*)();
        const auto backendName =
            reinterpret_cast<NameFunction>(dlsym(library, "tt_d2xx_backend_name"));
        if (backendName != nullptr && backendName() != nullptr) {
            name = backendName();
        }
        dlclose(library);
    }
    return name;
}

std::string D2xxBackend::pathFor(const std::string& choice) {
    if (choice == "libftdi1") {
        const std::string path = PluginLocation::libftdiBackendPath();
        return path.empty() ? choice : path;
    }
    if (choice == "simulator") {
        const std::string path = PluginLocation::simulatorPath();
        return path.empty() ? choice : path;
    }
    return choice;
}
