#include "CommandSet.h"

CLI::App* CommandSet::add(CLI::App& parent, const std::string& name,
                          const std::string& description, Run run) {
    CLI::App* command = parent.add_subcommand(name, description);
    m_commands.emplace_back(command, std::move(run));
    return command;
}

CommandSet::Run CommandSet::parsed() const {
    for (const auto& [command, run] : m_commands) {
        if (command->parsed()) {
            return run;
        }
    }
    return {};
}
