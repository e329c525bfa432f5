#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> definedDynamicSymbols() {
    const std::string command =
        std::string("nm -D --defined-only -C '") + PLUGIN_LIBRARY_PATH + "'";
    std::vector<std::string> symbols;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return symbols;
    }
    char line[4096];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        // "<address> <type> <name>"
        const size_t second = text.find(' ', text.find(' ') + 1);
        if (second != std::string::npos) {
            symbols.push_back(text.substr(second + 1));
        }
    }
    pclose(pipe);
    return symbols;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A member, or the type information, of one of the three exported classes, or
// one of the three callback slots.
bool belongsToHostView(const std::string& symbol) {
    static const char* const classes[] = {"HxAbstractPlugin", "HxTurntableHardware",
                                          "HxVorandelTurntableControl"};
    static const char* const typeData[] = {"typeinfo for ", "typeinfo name for ", "vtable for ",
                                           "VTT for ", "construction vtable for "};
    static const char* const slots[] = {"TurntableHardwarePrivate::hardwareOpenSucceeded",
                                        "TurntableHardwarePrivate::hardwareDisconnected",
                                        "TurntableHardwarePrivate::turntableRotationStopped"};
    for (const char* slot : slots) {
        if (symbol == slot) {
            return true;
        }
    }
    std::string name = symbol;
    for (const char* prefix : typeData) {
        if (startsWith(name, prefix)) {
            name = name.substr(std::string(prefix).size());
            break;
        }
    }
    for (const char* cls : classes) {
        const std::string className(cls);
        if (name == className || startsWith(name, className + "::") ||
            startsWith(name, className + "-in-")) {
            return true;
        }
    }
    return false;
}

}  // namespace

TEST(ExportedSymbols, OnlyTheHostViewIsExported) {
    const std::vector<std::string> symbols = definedDynamicSymbols();
    ASSERT_FALSE(symbols.empty()) << "nm found no symbols in " << PLUGIN_LIBRARY_PATH;
    for (const std::string& symbol : symbols) {
        EXPECT_TRUE(belongsToHostView(symbol)) << "exported: " << symbol;
    }
}

TEST(ExportedSymbols, HostViewIsComplete) {
    const std::vector<std::string> symbols = definedDynamicSymbols();
    const std::vector<std::string> required = {
        "HxAbstractPlugin::setLastError(std::__cxx11::basic_string<char, std::char_traits<char>, "
        "std::allocator<char> >)",
        "HxTurntableHardware::hardwareDisconnected(unsigned long)",
        "TurntableHardwarePrivate::hardwareOpenSucceeded",
        "TurntableHardwarePrivate::hardwareDisconnected",
        "TurntableHardwarePrivate::turntableRotationStopped",
        "vtable for HxAbstractPlugin",
        "typeinfo for HxTurntableHardware",
        "HxVorandelTurntableControl::HxVorandelTurntableControl()",
        "vtable for HxVorandelTurntableControl",
        "HxVorandelTurntableControl::chipByteClock() const",
        "HxVorandelTurntableControl::measureChipByteClock()",
    };
    for (const std::string& name : required) {
        bool found = false;
        for (const std::string& symbol : symbols) {
            found = found || symbol == name;
        }
        EXPECT_TRUE(found) << "missing: " << name;
    }
}

TEST(ExportedSymbols, DeviceLayerStaysHidden) {
    for (const std::string& symbol : definedDynamicSymbols()) {
        EXPECT_EQ(symbol.find("FTDIController"), std::string::npos) << symbol;
        EXPECT_EQ(symbol.find("HxDCMotor"), std::string::npos) << symbol;
        EXPECT_EQ(symbol.find("HxStepperMotor"), std::string::npos) << symbol;
        EXPECT_EQ(symbol.find("FT_"), std::string::npos) << symbol;
    }
}
