#include "DiagnosticSettings.h"

#include <cctype>

namespace {

using Level = DiagnosticLog::Level;
using Category = DiagnosticLog::Category;

std::string trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool sameWord(const std::string& word, const char* name) {
    std::size_t i = 0;
    for (; i < word.size() && name[i] != '\0'; ++i) {
        if (std::tolower(static_cast<unsigned char>(word[i])) != name[i])
            return false;
    }
    return i == word.size() && name[i] == '\0';
}

bool parseLevel(const std::string& word, Level* level) {
    for (Level candidate : {Level::Off, Level::Error, Level::Info, Level::Debug}) {
        if (sameWord(word, DiagnosticLog::levelName(candidate))) {
            *level = candidate;
            return true;
        }
    }
    return false;
}

bool parseCategory(const std::string& word, int* index) {
    for (int i = 0; i < DiagnosticLog::CATEGORY_COUNT; ++i) {
        if (sameWord(word, DiagnosticLog::categoryName(static_cast<Category>(i)))) {
            *index = i;
            return true;
        }
    }
    return false;
}

DiagnosticSettings failed(std::string fault) {
    DiagnosticSettings settings;
    settings.levels.fill(Level::Off);
    settings.fault = std::move(fault);
    return settings;
}

}  // namespace

DiagnosticSettings DiagnosticSettings::parse(const std::string& value,
                                             const std::string& fallbackPath) {
    DiagnosticSettings settings;
    settings.levels.fill(Level::Off);

    const std::size_t colon = value.find(':');
    const std::string list = trimmed(value.substr(0, colon));
    if (colon == std::string::npos) {
        settings.path = trimmed(fallbackPath);
    } else {
        settings.path = trimmed(value.substr(colon + 1));
        if (settings.path.empty())
            return failed("no file after ':'");
    }
    if (list.empty()) {
        // A file named without a level is a log asked for without saying
        // what to write: left off in silence, it would look switched on.
        if (colon != std::string::npos)
            return failed("no level before ':' (off, error, info or debug)");
        return settings;
    }

    for (std::size_t start = 0;;) {
        const std::size_t comma = list.find(',', start);
        const std::string setting = trimmed(list.substr(start, comma - start));
        const std::size_t equals = setting.find('=');
        const std::string levelWord =
            equals == std::string::npos ? setting : trimmed(setting.substr(equals + 1));
        Level level = Level::Off;
        if (!parseLevel(levelWord, &level))
            return failed("unknown level \"" + levelWord + "\" (off, error, info or debug)");
        if (equals == std::string::npos) {
            settings.levels.fill(level);
        } else {
            const std::string categoryWord = trimmed(setting.substr(0, equals));
            int index = 0;
            if (!parseCategory(categoryWord, &index))
                return failed("unknown category \"" + categoryWord +
                              "\" (device, move, driver or plugin)");
            settings.levels[static_cast<std::size_t>(index)] = level;
        }
        if (comma == std::string::npos)
            return settings;
        start = comma + 1;
    }
}

bool DiagnosticSettings::anyOn() const {
    for (Level level : levels) {
        if (level != Level::Off)
            return true;
    }
    return false;
}
