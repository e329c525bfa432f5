#include "LoadedPlugin.h"

#include <dlfcn.h>

#include "D2xxBackend.h"
#include "PluginLocation.h"

namespace {

void* preloadD2xx(const std::string& path, std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) {
        const char* why = dlerror();
        *error = why != nullptr ? why : "cannot load " + path;
    }
    return library;
}

}  // namespace

std::unique_ptr<LoadedPlugin> LoadedPlugin::load(const std::string& d2xxChoice,
                                                 const std::string& pluginPath,
                                                 std::string* error) {
    std::unique_ptr<LoadedPlugin> loaded(new LoadedPlugin());
    if (!d2xxChoice.empty()) {
        loaded->m_d2xxLibrary = preloadD2xx(D2xxBackend::pathFor(d2xxChoice), error);
        if (loaded->m_d2xxLibrary == nullptr) {
            *error = "cannot load the D2XX library: " + *error;
            return nullptr;
        }
    }
    const std::string path = pluginPath.empty() ? PluginLocation::defaultPluginPath() : pluginPath;
    loaded->m_plugin = TurntablePlugin::load(path, error);
    if (!loaded->m_plugin && loaded->m_d2xxLibrary == nullptr &&
        error->find("libftd2xx.so") != std::string::npos) {
        // Installed without the vendor's library: fall back on the simulator
        // installed with the package, so that the host still runs.
        const std::string bundled = PluginLocation::bundledSimulatorPath();
        std::string preloadError;
        if (!bundled.empty() && (loaded->m_d2xxLibrary = preloadD2xx(bundled, &preloadError))) {
            loaded->m_plugin = TurntablePlugin::load(path, error);
        }
    }
    if (!loaded->m_plugin) {
        *error = "cannot load the plug-in: " + *error;
        return nullptr;
    }
    return loaded;
}

LoadedPlugin::~LoadedPlugin() {
    m_plugin.reset();
    if (m_d2xxLibrary != nullptr) {
        dlclose(m_d2xxLibrary);
    }
}
