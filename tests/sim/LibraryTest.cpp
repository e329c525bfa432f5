// The simulator stands in for the vendor's library under its very name.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string dynamicSection(const char* path) {
    std::string output;
    std::FILE* pipe = popen((std::string("readelf -d '") + path + "' 2>&1").c_str(), "r");
    if (!pipe)
        return output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    pclose(pipe);
    return output;
}

}  // namespace

TEST(Library, SimulatorCarriesTheVendorSoname) {
    const std::string section = dynamicSection(SIM_LIBRARY_PATH);
    EXPECT_NE(section.find("Library soname: [libftd2xx.so]"), std::string::npos) << section;
}

TEST(Library, PluginNeedsLibftd2xx) {
    const std::string section = dynamicSection(PLUGIN_LIBRARY_PATH);
    EXPECT_NE(section.find("Shared library: [libftd2xx.so]"), std::string::npos) << section;
}
