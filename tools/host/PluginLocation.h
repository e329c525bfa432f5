#ifndef TURNTABLECTL_PLUGIN_LOCATION_H
#define TURNTABLECTL_PLUGIN_LOCATION_H

#include <string>

/// Where a host finds the plug-in and, after an install without the
/// vendor's library, the bundled simulator. The installed layout is read
/// from the program's own directory (bindir), unless a loadable module that
/// hosts the plug-in anchors it at its own.
class PluginLocation {
public:
    /// Reads the installed layout from `directory`, the library directory
    /// lying at `toLibdir` from it. Call before any other function here;
    /// not thread-safe.
    static void anchorAt(const std::string& directory, const std::string& toLibdir);
    /// The plug-in installed beside this program (<prefix>/lib), else the one
    /// of the build tree this program was built in, else the bare file name
    /// for the loader's own search.
    static std::string defaultPluginPath();
    /// The simulator installed in the package's private library directory,
    /// or "" when it was not installed.
    static std::string bundledSimulatorPath();
    /// The simulator installed with the package, else the one of the build
    /// tree; "" when neither exists.
    static std::string simulatorPath();
    /// The libftdi1 backend installed in the private directory, else the one
    /// of the build tree; "" when neither exists.
    static std::string libftdiBackendPath();

private:
    /// The installed library directory, as a path through the anchor.
    static std::string installedLibdir();
};

#endif  // TURNTABLECTL_PLUGIN_LOCATION_H
