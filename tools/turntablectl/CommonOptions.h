#ifndef TURNTABLECTL_COMMON_OPTIONS_H
#define TURNTABLECTL_COMMON_OPTIONS_H

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "SimulatedBench.h"

/// Options every command takes: where the plug-in is, which row to open,
/// host-side settings, and the simulated turntable to set up when the plug-in
/// runs on the simulator.
struct CommonOptions {
    std::string pluginPath;             ///< empty: the installed or the built plug-in
    std::string d2xxPath;               ///< empty: whatever libftd2xx.so the loader finds
    std::optional<long long> model;     ///< catalogue row to open; default: the discovered one
    std::optional<long long> table;     ///< list position of the turntable to use (see `list`)
    std::optional<std::string> serial;  ///< serial of the turntable to use, instead of --table
    unsigned counts = 0;                ///< counts per revolution to use; 0: the model's
    std::optional<unsigned> speed;      ///< stepper pulse high time in ms
    bool verbose = false;               ///< --verbose: the plug-in's diagnostic log to stderr
    std::string pulses;                 ///< --pulses: "clocked" or "paced"; empty: the environment's

    SimulatedBench::Setup sim;
    long long simModel = SimulatedBench::DEFAULT_ROW;
    bool simOptionsGiven = false;  ///< any --sim-* option or --trace was named
    bool simTableGiven = false;    ///< any --sim-* option was named
    std::string tracePath;         ///< --trace: the port's VCD goes here

    /// The program's own command line, to tell how to resume a broken session.
    std::vector<std::string> commandLine;
};

/// Adds the options every command takes to `app`; they land in `options`.
void addCommonOptions(CLI::App& app, CommonOptions& options);
/// Once parsed: notes which simulated-turntable options the command line named.
void noteSimulationOptions(const CLI::App& app, CommonOptions& options);

#endif  // TURNTABLECTL_COMMON_OPTIONS_H
