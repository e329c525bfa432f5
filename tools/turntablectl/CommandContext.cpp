#include "CommandContext.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <cstdlib>
#include <iterator>

#include "CommandFailure.h"
#include "TableChoice.h"

namespace {

// Why a trace cannot be written at `path`, or "" when it can: checked
// before anything turns, so that a spin is not run for a trace that is lost.
std::string unwritable(const std::string& path) {
    const bool existed = access(path.c_str(), F_OK) == 0;
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(file);
    if (!existed) {
        std::remove(path.c_str());
    }
    return "";
}

// The trace= paths of a table list in the FTSIM_DEVICES grammar.
std::vector<std::string> tracePathsOf(const std::string& tables) {
    std::vector<std::string> paths;
    const std::string key = "trace=";
    for (size_t at = tables.find(key); at != std::string::npos; at = tables.find(key, at + 1)) {
        if (at != 0 && tables[at - 1] != ',' && tables[at - 1] != ';' && tables[at - 1] != ' ') {
            continue;
        }
        const size_t start = at + key.size();
        paths.push_back(tables.substr(start, tables.find_first_of(",;", start) - start));
    }
    return paths;
}

// The simulator's refusal of the table list the --sim-* options stand for,
// in the words of those options: the person never typed the list.
std::string inOptionTerms(const std::string& refusal) {
    const size_t quoted = refusal.find("\"): ");
    std::string reason = quoted == std::string::npos ? refusal : refusal.substr(quoted + 4);
    const char* const keys[][2] = {{"counts ", "--sim-counts "},
                                   {"count-time ", "--sim-count-time "},
                                   {"usb-latency ", "--sim-usb-latency "},
                                   {"fail-open ", "--sim-fail-open "}};
    for (const auto& key : keys) {
        if (reason.compare(0, std::strlen(key[0]), key[0]) == 0) {
            reason = key[1] + reason.substr(std::strlen(key[0]));
        }
    }
    return "the simulated turntable cannot be built so: " + reason;
}

}  // namespace

CommandContext::CommandContext(const CommonOptions& options) : m_options(options) {
    std::string error;
    m_loaded = LoadedPlugin::load(m_options.d2xxPath, m_options.pluginPath, &error);
    if (!m_loaded) {
        throw CommandFailure(EXIT_RUNTIME_FAILURE, error);
    }
    m_plugin = &m_loaded->plugin();
    m_catalogue = std::make_unique<ModelCatalogue>(m_plugin->catalogueNames());
    if (m_options.model) {
        m_catalogue->requireRow("--model", *m_options.model);
    }
    m_catalogue->requireRow("--sim-model", m_options.simModel);

    m_bench = SimulatedBench::find();
    if (m_bench) {
        // Without --sim-* options the tables FTSIM_DEVICES names stand, as for
        // any other host; the options stand for a value of that variable.
        const char* environment = std::getenv("FTSIM_DEVICES");
        const bool fromEnvironment = environment != nullptr && !m_options.simTableGiven;
        SimulatedBench::Setup setup = m_options.sim;
        setup.row = size_t(m_options.simModel);
        const std::string tables =
            fromEnvironment ? std::string(environment) : SimulatedBench::tableList(setup);
        if (!m_bench->attach(tables, &error)) {
            if (fromEnvironment) {
                throw CommandFailure(EXIT_RUNTIME_FAILURE, "FTSIM_DEVICES: " + error);
            }
            throw CommandFailure(EXIT_BAD_ARGUMENTS, inOptionTerms(error));
        }
        for (const std::string& trace :
             fromEnvironment ? tracePathsOf(tables) : std::vector<std::string>()) {
            const std::string why = unwritable(trace);
            if (!why.empty()) {
                throw CommandFailure(EXIT_BAD_ARGUMENTS, "FTSIM_DEVICES: trace=" + trace +
                                                             ": cannot write there: " + why);
            }
        }
        if (!m_options.tracePath.empty()) {
            const std::string why = unwritable(m_options.tracePath);
            if (!why.empty()) {
                throw CommandFailure(EXIT_BAD_ARGUMENTS, "--trace " + m_options.tracePath +
                                                             ": cannot write there: " + why);
            }
        }
    } else if (m_options.simOptionsGiven) {
        std::fprintf(stderr,
                     "turntablectl: the plug-in drives real hardware (%s D2XX library); "
                     "the --sim-* and --trace options do not apply\n",
                     backendName().c_str());
    }
    m_session = std::make_unique<HostSession>(*m_plugin);
}

CommandContext::~CommandContext() {
    m_session.reset();
    m_bench.reset();
    m_loaded.reset();
}

std::vector<HxVorandelTurntableControl::AttachedTurntable> CommandContext::attachedTurntables() {
    return m_plugin->attachedTurntables();
}

std::string CommandContext::noTurntableText(const std::string& pluginText) const {
    if (m_bench) {
        return pluginText;
    }
    return pluginText +
           "- make sure your user may open it: the udev rules installed with this program give "
           "the group plugdev access (sudo usermod -aG plugdev \"$USER\", then log in again)\n"
           "- with the vendor's library, unload ftdi_sio first, or try the libftdi1 backend: "
           "turntablectl --d2xx libftdi1 list\n";
}

HostSession::Discovery CommandContext::discoverOrFail() {
    const std::optional<size_t> position =
        m_options.table ? std::optional<size_t>(size_t(*m_options.table)) : std::nullopt;
    const TableChoice choice =
        TableChoice::choose(attachedTurntables(), position, m_options.serial);
    switch (choice.outcome()) {
        case TableChoice::Outcome::NoneAttached:
            // The plug-in's own text, from its own discovery.
            throw CommandFailure(EXIT_NO_TURNTABLE, noTurntableText(m_session->discover().error));
        case TableChoice::Outcome::NoSuchPosition:
            throw CommandFailure(EXIT_NO_TURNTABLE,
                                 "--table " + std::to_string(*m_options.table) +
                                     ": no turntable at that position (" +
                                     std::to_string(choice.tables().size()) +
                                     " attached, positions from 0; see `turntablectl list`)\n");
        case TableChoice::Outcome::NoSuchSerial:
            throw CommandFailure(EXIT_NO_TURNTABLE,
                                 "--serial " + *m_options.serial +
                                     ": no attached turntable has that serial (see "
                                     "`turntablectl list`)\n");
        case TableChoice::Outcome::NotOpenable:
        case TableChoice::Outcome::Chosen:
            break;
    }
    const TableChoice::Attached& chosen = choice.table();
    m_chosen = {chosen.position, chosen.serial, choice.tables().size()};
    if (choice.outcome() == TableChoice::Outcome::NotOpenable) {
        throw CommandFailure(EXIT_OPEN_FAILED, "cannot open the turntable at position " +
                                                   std::to_string(chosen.position) + " (serial " +
                                                   chosen.serial + "): " + chosen.problem +
                                                   "; its identity record cannot be read either");
    }
    const HostSession::Discovery discovery = m_session->discoverAt(chosen.position);
    if (!discovery.found()) {
        // Unplugged or taken since the listing.
        throw CommandFailure(EXIT_OPEN_FAILED, discovery.error);
    }
    if (m_bench) {
        m_bench->follow(chosen.deviceIndex);
    }
    return discovery;
}

CommandContext::Opened CommandContext::openOrFail() {
    const HostSession::Discovery discovery = discoverOrFail();
    Opened opened;
    opened.identified = discovery.identified();
    opened.row = m_options.model ? size_t(*m_options.model) : 0;

    // Row 0 of a one-name list opens the identified model.
    opened.modelRow = opened.row;
    if (opened.identified) {
        const size_t identityRow = m_catalogue->rowOf(discovery.names.front()).value_or(0);
        if (opened.row == 0 || opened.row == identityRow) {
            opened.label = discovery.names.front();
            opened.modelRow = identityRow;
        } else {
            // --model overrides what the turntable says it is.
            opened.identified = false;
            opened.identityRow = identityRow;
        }
    }
    if (opened.label.empty()) {
        opened.label = m_catalogue->label(long(opened.row)).value_or("");
    }

    std::string error;
    if (!m_session->open(opened.row, &error)) {
        if (error.empty()) {
            error = "the turntable could not be opened (the plug-in gave no reason)";
        }
        throw CommandFailure(EXIT_OPEN_FAILED, "cannot open " + opened.label + ": " + error);
    }

    unsigned counts = m_options.counts;
    if (counts == 0 && m_bench && m_options.sim.countsPerRevolution != 0) {
        counts = m_bench->countsPerRevolution();  // a small simulated table
    }
    if (counts == 0 && m_bench && m_bench->hasDevice() && !m_options.model &&
        m_bench->countsPerRevolution() != m_plugin->hardware().stepsPerRevolution()) {
        counts = m_bench->countsPerRevolution();  // one FTSIM_DEVICES gave its own counts
    }
    if (counts == 0 && m_bench && m_plugin->hardware().stepsPerRevolution() == 0) {
        counts = m_bench->countsPerRevolution();  // the expert row has no preset
    }
    if (counts != 0) {
        m_plugin->SetCountsPerRevolution(counts);
    }
    if (m_options.speed) {
        m_plugin->SetRotationSpeed(*m_options.speed);
    }
    opened.counts = m_plugin->hardware().stepsPerRevolution();
    return opened;
}

int CommandContext::finish(int code) {
    if (m_finished) {
        return code;
    }
    m_finished = true;
    m_session->close();
    if (!m_options.tracePath.empty() && m_bench) {
        errno = 0;
        if (m_bench->writeTrace(m_options.tracePath)) {
            std::fprintf(stderr, "turntablectl: port trace written to %s\n",
                         m_options.tracePath.c_str());
        } else {
            std::fprintf(stderr, "turntablectl: cannot write the port trace to %s: %s\n",
                         m_options.tracePath.c_str(),
                         errno != 0 ? std::strerror(errno) : "the simulator has no board there");
            if (code == EXIT_OK) {
                code = EXIT_RUNTIME_FAILURE;
            }
        }
    }
    return code;
}

void CommandContext::printBoardSummary() const {
    const std::string board = boardSummary();
    if (!board.empty()) {
        std::printf("%s\n", board.c_str());
    }
}

std::string CommandContext::boardSummary() const {
    if (!m_bench || !m_bench->hasDevice()) {
        return "";
    }
    const SimulatedBench::Counters c = m_bench->counters();
    char text[200];
    if (c.stepper) {
        std::snprintf(text, sizeof text,
                      "simulated board: position %lld steps, %llu pulses, %llu lost, "
                      "%u shutter releases",
                      c.position, c.pulses, c.lost, c.shots);
    } else {
        std::snprintf(text, sizeof text, "simulated board: %llu counts turned", c.dcCounts);
    }
    return text;
}
