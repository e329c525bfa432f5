#include <cstdio>
#include <memory>

#include "CommandFailure.h"
#include "Commands.h"
#include "ExitCodes.h"
#include "NumberRange.h"

namespace {

int runIdentityRead(CommandContext& context) {
    context.openOrFail();
    short identity = -1;
    if (!context.plugin().readFromEEPROM(&identity)) {
        std::printf("No identity record on this turntable\n");
        return EXIT_OK;
    }
    const std::optional<std::string> label = context.catalogue().label(identity);
    std::printf("Identity record: row %d (%s)\n", identity,
                label ? label->c_str() : "not a catalogue row");
    return EXIT_OK;
}

int runIdentityWrite(CommandContext& context, long long row) {
    context.catalogue().requireRow("identity row", row);
    const std::string label = *context.catalogue().label(row);
    context.openOrFail();
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
    commands.add(*identity, "read", "Read the identity record", runIdentityRead);
    const auto row = std::make_shared<long long>(0);
    CLI::App* write =
        commands.add(*identity, "write", "Provision the turntable as catalogue row ROW",
                     [row](CommandContext& context) { return runIdentityWrite(context, *row); });
    write->add_option("ROW", *row, "Catalogue row")
        ->required()
        ->check(NumberRange::row());
}
