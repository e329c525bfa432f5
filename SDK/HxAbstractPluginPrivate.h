#ifndef HX_ABSTRACT_PLUGIN_PRIVATE_H
#define HX_ABSTRACT_PLUGIN_PRIVATE_H

#include <mutex>

#include "HxTypes.h"

/// Private record of HxAbstractPlugin.
struct AbstractPluginPrivate {
    /// The plug-in's last error text; empty after construction. Guarded by asyncMutex.
    HxString lastError;

    /// Guards every plug-in object's lastError and every turntable's current
    /// index. One mutex for the whole process, held only for one copy or store.
    static std::mutex asyncMutex;

    /// Empty when the library is loaded; nothing in the plug-in writes it.
    static DirectoryPath currentProjectDirectory;
};

#endif  // HX_ABSTRACT_PLUGIN_PRIVATE_H
