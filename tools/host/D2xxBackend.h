#ifndef TURNTABLECTL_D2XX_BACKEND_H
#define TURNTABLECTL_D2XX_BACKEND_H

#include <string>

/// Which libftd2xx.so stands behind the plug-in, told from the library the
/// plug-in loaded (the plug-in itself never knows), and the short names
/// --d2xx accepts for the ones installed with this package.
class D2xxBackend {
public:
    /// "simulator" when the simulated bench answers, the name a backend
    /// gives itself (tt_d2xx_backend_name, e.g. "libftdi1"), else "vendor library".
    static std::string nameInUse(bool simulated);
    /// The path --d2xx `choice` means: "libftdi1" and "simulator" name the
    /// libraries installed (or built) with this program; anything else is a path.
    static std::string pathFor(const std::string& choice);
};

#endif  // TURNTABLECTL_D2XX_BACKEND_H
