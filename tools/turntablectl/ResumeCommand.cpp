#include "ResumeCommand.h"

namespace {

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::string shellQuoted(const std::string& text) {
    const bool plain = !text.empty() && text.find_first_not_of(
                                            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                            "0123456789_-+=./:,@%") == std::string::npos;
    if (plain) {
        return text;
    }
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

std::string resumeCommand(const std::vector<std::string>& commandLine, unsigned from,
                          unsigned tableAt) {
    std::string line;
    const auto add = [&line](const std::string& word) {
        line += (line.empty() ? "" : " ") + shellQuoted(word);
    };
    for (size_t i = 0; i < commandLine.size(); ++i) {
        const std::string& word = commandLine[i];
        if (word == "--from" || word == "--table-at") {
            ++i;  // and its value
            continue;
        }
        if (startsWith(word, "--from=") || startsWith(word, "--table-at=")) {
            continue;
        }
        add(word);
        // A command's text is taken as it is, even one that reads like an option.
        if (word == "--on-shot" && i + 1 < commandLine.size()) {
            add(commandLine[++i]);
        }
    }
    add("--from");
    add(std::to_string(from));
    add("--table-at");
    add(std::to_string(tableAt));
    return line;
}
