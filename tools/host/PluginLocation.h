#ifndef TURNTABLECTL_PLUGIN_LOCATION_H
#define TURNTABLECTL_PLUGIN_LOCATION_H

#include <string>

/// Where turntablectl finds the plug-in and, after an install without the
/// vendor's library, the bundled simulator.
class PluginLocation {
public:
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
    static std::string executableDirectory();
};

#endif  // TURNTABLECTL_PLUGIN_LOCATION_H
