#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "ExitCodes.h"
#include "PulseMode.h"
#include "RealtimeMoveScope.h"

namespace {

int runInfo(CommandContext& context, bool json) {
    const CommandContext::Opened opened = context.openOrFail();
    TurntablePlugin& plugin = context.plugin();

    short identity = -1;
    const bool hasRecord = plugin.readFromEEPROM(&identity);

    nlohmann::json info;
    info["model"] = opened.label;
    info["row"] = opened.modelRow;
    info["openedAsRow"] = opened.row;
    info["identified"] = opened.identified;
    info["identityRow"] = hasRecord ? nlohmann::json(identity) : nlohmann::json(nullptr);
    info["position"] = context.chosen().position;
    info["serial"] = context.chosen().serial;
    info["countsPerRevolution"] = opened.counts;
    info["direction"] = plugin.isRotationClockwise() ? "clockwise" : "counter-clockwise";
    info["canTurnCounterclockwise"] = context.session().canMoveCounterclockwise();
    info["speedMilliseconds"] = plugin.rotationSpeed();
    info["lockMotorWhenIdle"] = plugin.isLockMotorWhenIdle();
    info["clockwiseActiveHigh"] = plugin.isClockwiseActiveHigh();
    info["motorEnableActiveHigh"] = plugin.isMotorEnableActiveHigh();
    const char* const moveScheduling = RealtimeMoveScope::describe(RealtimeMoveScope::probe());
    info["moveScheduling"] = moveScheduling;
    // What the plug-in will read when the next move starts.
    const PulseMode::Mode pulseMode = PulseMode::fromEnvironment();
    const char* const pulses = PulseMode::name(pulseMode);
    info["stepPulses"] = pulses;
    // Clocked, the chip's crystal times every step: measure it now, with a
    // stream that holds every line where it is, so that a technician sees
    // whether this chip clocks at the published rate before anything turns.
    const HxVorandelTurntableControl::ChipByteClock clock =
        pulseMode == PulseMode::Clocked ? plugin.measureChipByteClock() : plugin.chipByteClock();
    const bool clockMeasured = clock.bytesPerSecond > 0.0;
    info["chipByteClock"] = clockMeasured ? nlohmann::json{{"bytesPerSecond", clock.bytesPerSecond},
                                                           {"baudRate", clock.baudRate},
                                                           {"bytesPerBaud", clock.bytesPerBaud}}
                                          : nlohmann::json(nullptr);
    info["backend"] = context.backendName();
    info["plugin"] = plugin.path();

    if (json) {
        std::printf("%s\n", info.dump(2).c_str());
        return EXIT_OK;
    }
    const auto yesNo = [](bool b) { return b ? "yes" : "no"; };
    std::string identification = opened.identified ? ", identified" : "";
    if (opened.identityRow) {
        identification = ", as --model says; the turntable identifies as row " +
                         std::to_string(*opened.identityRow) + ", " +
                         context.catalogue().label(long(*opened.identityRow)).value_or("?");
    }
    std::printf("Model:                   %s (row %zu%s)\n", opened.label.c_str(), opened.modelRow,
                identification.c_str());
    std::printf("Turntable:               list position %zu (%zu attached), serial %s\n",
                context.chosen().position, context.chosen().attached,
                context.chosen().serial.c_str());
    if (hasRecord) {
        const std::optional<std::string> label = context.catalogue().label(identity);
        std::printf("Identity record:         row %d%s%s\n", identity, label ? ", " : "",
                    label ? label->c_str() : "");
    } else {
        std::printf("Identity record:         none\n");
    }
    std::printf("Counts per revolution:   %u\n", opened.counts);
    std::printf("Direction:               %s\n", info["direction"].get<std::string>().c_str());
    std::printf("Counter-clockwise:       %s\n",
                yesNo(context.session().canMoveCounterclockwise()));
    std::printf("Speed (pulse high time): %u ms\n", plugin.rotationSpeed());
    std::printf("Lock motor when idle:    %s\n", yesNo(plugin.isLockMotorWhenIdle()));
    std::printf("Clockwise active high:   %s\n", yesNo(plugin.isClockwiseActiveHigh()));
    std::printf("Enable active high:      %s\n", yesNo(plugin.isMotorEnableActiveHigh()));
    std::printf("Worker during a move:    %s (%s=0 switches it off)\n", moveScheduling,
                RealtimeMoveScope::ENVIRONMENT_VARIABLE);
    std::printf("Step pulses:             %s (%s=clocked|paced, or --pulses)\n", pulses,
                PulseMode::VARIABLE);
    if (clockMeasured) {
        std::printf(
            "Chip byte clock:         %.1f bytes/s at %lu baud: %g bytes a second per baud%s\n",
            clock.bytesPerSecond, clock.baudRate, clock.bytesPerBaud,
            clock.bytesPerBaud == 16.0 ? " (the published figure)"
                                       : " (the published figure is 16)");
    } else {
        std::printf("Chip byte clock:         not measured (%s)\n",
                    pulseMode == PulseMode::Clocked
                        ? "this board has no clocked moves, or its chip's writes could not be timed"
                        : "measured in clocked mode");
    }
    std::printf("D2XX library:            %s\n", context.backendName().c_str());
    std::printf("Plug-in:                 %s\n", plugin.path().c_str());
    return EXIT_OK;
}

}  // namespace

void addInfoCommand(CLI::App& app, CommandSet& commands) {
    const auto json = std::make_shared<bool>(false);
    CLI::App* info =
        commands.add(app, "info", "Model and settings of the turntable",
                     [json](CommandContext& context) { return runInfo(context, *json); });
    info->add_flag("--json", *json, "Answer in JSON");
}
