#include "PluginLocation.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

// Set by the build: the plug-in's file name, its path in the build tree, the
// library directory relative to the program's installed directory, and the
// private directory of the bundled simulator under it.
#ifndef TT_PLUGIN_FILE_NAME
#define TT_PLUGIN_FILE_NAME "libVorandelTurntable.so.1"
#endif
#ifndef TT_PLUGIN_BUILD_PATH
#define TT_PLUGIN_BUILD_PATH ""
#endif
#ifndef TT_BIN_TO_LIBDIR
#define TT_BIN_TO_LIBDIR "../lib"
#endif
#ifndef TT_SIMULATOR_BUILD_PATH
#define TT_SIMULATOR_BUILD_PATH ""
#endif
#ifndef TT_LIBFTDI_BACKEND_BUILD_PATH
#define TT_LIBFTDI_BACKEND_BUILD_PATH ""
#endif
#ifndef TT_PRIVATE_LIBDIR_NAME
#define TT_PRIVATE_LIBDIR_NAME "vorandel-turntable"
#endif

namespace {

bool exists(const std::string& path) {
    return !path.empty() && access(path.c_str(), R_OK) == 0;
}

// "<prefix>/bin/../lib/x" as "<prefix>/lib/x", for messages and `info`.
std::string canonical(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

std::string executableDirectory() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) {
        return "";
    }
    std::string path(buffer, size_t(length));
    return path.substr(0, path.find_last_of('/'));
}

// Set once by anchorAt(), before the first look-up.
std::string g_anchorDirectory;
std::string g_anchorToLibdir;

}  // namespace

void PluginLocation::anchorAt(const std::string& directory, const std::string& toLibdir) {
    g_anchorDirectory = directory;
    g_anchorToLibdir = toLibdir;
}

std::string PluginLocation::installedLibdir() {
    if (!g_anchorDirectory.empty()) {
        return g_anchorDirectory + "/" + g_anchorToLibdir;
    }
    return executableDirectory() + "/" TT_BIN_TO_LIBDIR;
}

std::string PluginLocation::defaultPluginPath() {
    const std::string installed =
        installedLibdir() + "/" TT_PLUGIN_FILE_NAME;
    if (exists(installed)) {
        return canonical(installed);
    }
    if (exists(TT_PLUGIN_BUILD_PATH)) {
        return TT_PLUGIN_BUILD_PATH;
    }
    return TT_PLUGIN_FILE_NAME;
}

std::string PluginLocation::bundledSimulatorPath() {
    const std::string bundled =
        installedLibdir() + "/" TT_PRIVATE_LIBDIR_NAME "/libftd2xx.so";
    return exists(bundled) ? canonical(bundled) : "";
}

std::string PluginLocation::simulatorPath() {
    const std::string bundled = bundledSimulatorPath();
    if (!bundled.empty()) {
        return bundled;
    }
    return exists(TT_SIMULATOR_BUILD_PATH) ? TT_SIMULATOR_BUILD_PATH : "";
}

std::string PluginLocation::libftdiBackendPath() {
    const std::string installed = installedLibdir() + "/" TT_PRIVATE_LIBDIR_NAME "/libftdi1/libftd2xx.so";
    if (exists(installed)) {
        return canonical(installed);
    }
    return exists(TT_LIBFTDI_BACKEND_BUILD_PATH) ? TT_LIBFTDI_BACKEND_BUILD_PATH : "";
}
