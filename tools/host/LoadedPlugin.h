#ifndef TT_HOST_LOADED_PLUGIN_H
#define TT_HOST_LOADED_PLUGIN_H

#include <memory>
#include <string>

#include "TurntablePlugin.h"

/// The plug-in as a host loads it, together with the libftd2xx.so chosen to
/// stand behind it. A library named libftd2xx.so loaded first satisfies the
/// plug-in's dependency on that name, whatever directory it came from, so the
/// choice is made by loading it before the plug-in. One choice per process:
/// the first libftd2xx.so loaded stays the one every later load resolves to.
class LoadedPlugin {
public:
    /// Loads the D2XX library `d2xxChoice` names ("simulator", "libftdi1" or
    /// a path, as D2xxBackend::pathFor reads it; "" leaves it to the loader's
    /// search), then the plug-in at `pluginPath` ("" for
    /// PluginLocation::defaultPluginPath()). Without a choice, a plug-in that
    /// finds no libftd2xx.so at all runs on the simulator installed with the
    /// package. Null on failure, with the reason in `*error`.
    static std::unique_ptr<LoadedPlugin> load(const std::string& d2xxChoice,
                                              const std::string& pluginPath, std::string* error);

    /// Unloads the plug-in, then the D2XX library loaded for it.
    ~LoadedPlugin();

    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    TurntablePlugin& plugin() { return *m_plugin; }

private:
    LoadedPlugin() = default;

    void* m_d2xxLibrary = nullptr;
    std::unique_ptr<TurntablePlugin> m_plugin;
};

#endif  // TT_HOST_LOADED_PLUGIN_H
