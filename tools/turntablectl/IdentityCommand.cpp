#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "CommandFailure.h"
#include "Commands.h"
#include "ExitCodes.h"
#include "NumberRange.h"

namespace {

int runIdentityRead(CommandContext& context, bool json) {
    context.openOrFail();
    short identity = -1;
    const bool hasRecord = context.plugin().readFromEEPROM(&identity);
    const std::optional<std::string> label =
        hasRecord ? context.catalogue().label(identity) : std::nullopt;
    if (json) {
        const nlohmann::json answer = {
            {"record", hasRecord},
            {"row", hasRecord ? nlohmann::json(identity) : nlohmann::json(nullptr)},
            {"label", label ? nlohmann::json(*label) : nlohmann::json(nullptr)},
            {"position", context.chosen().position},
            {"serial", context.chosen().serial}};
        std::printf("%s\n", answer.dump(2).c_str());
        return EXIT_OK;
    }
    if (!hasRecord) {
        std::printf("No identity record on this turntable\n");
        return EXIT_OK;
    }
    std::printf("Identity record: row %d (%s)\n", identity,
                label ? label->c_str() : "not a catalogue row");
    return EXIT_OK;
}

int runIdentityWrite(CommandContext& context, long long row, bool force) {
    context.catalogue().requireRow("identity row", row);
    const std::string label = *context.catalogue().label(row);
    context.openOrFail();
    short present = -1;
    if (!force && context.plugin().readFromEEPROM(&present)) {
        const std::optional<std::string> presentLabel = context.catalogue().label(present);
        throw CommandFailure(EXIT_BAD_ARGUMENTS,
                             "the turntable already carries an identity record (row " +
                                 std::to_string(present) +
                                 (presentLabel ? ", " + *presentLabel : std::string()) +
                                 "); add --force to replace it with row " + std::to_string(row));
    }
    if (!context.plugin().writeToEEPROM(short(row))) {
        throw CommandFailure(EXIT_RUNTIME_FAILURE,
                             "the identity record could not be written to the turntable's EEPROM");
    }
    std::printf("Identity record written: row %lld (%s)\n", row, label.c_str());

    // Read it back the way every host will: through discovery.
    context.session().close();
    const HostSession::Discovery discovery = context.session().discover();
    if (discovery.identified()) {
        std::printf("The turntable now identifies as %s\n", discovery.names.front().c_str());
    } else {
        throw CommandFailure(EXIT_RUNTIME_FAILURE,
                             "the turntable does not identify itself after the write");
    }
    return EXIT_OK;
}

}  // namespace

void addIdentityCommand(CLI::App& app, CommandSet& commands) {
    CLI::App* identity =
        app.add_subcommand("identity", "The model identity record in the turntable's EEPROM");
    identity->require_subcommand(1);
    const auto json = std::make_shared<bool>(false);
    CLI::App* read =
        commands.add(*identity, "read", "Read the identity record",
                     [json](CommandContext& context) { return runIdentityRead(context, *json); });
    read->add_flag("--json", *json, "Answer in JSON");
    const auto row = std::make_shared<long long>(0);
    const auto force = std::make_shared<bool>(false);
    CLI::App* write = commands.add(
        *identity, "write", "Provision the turntable as catalogue row ROW",
        [row, force](CommandContext& context) { return runIdentityWrite(context, *row, *force); });
    write->add_option("ROW", *row, "Catalogue row")->required()->check(NumberRange::row());
    write->add_flag("--force", *force, "Replace an identity record the turntable already carries");
}
