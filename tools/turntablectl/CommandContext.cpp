#include "CommandContext.h"

#include <cstdlib>
#include <iterator>

#include "CommandFailure.h"

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
            throw CommandFailure(EXIT_RUNTIME_FAILURE,
                                 (fromEnvironment ? "FTSIM_DEVICES: " : "simulated turntable: ") +
                                     error);
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

HostSession::Discovery CommandContext::discoverOrFail() {
    HostSession::Discovery discovery = m_session->discover();
    if (!discovery.found()) {
        throw CommandFailure(EXIT_NO_TURNTABLE, discovery.error);
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
    if (opened.identified && opened.row == 0) {
        opened.label = discovery.names.front();
        opened.modelRow = m_catalogue->rowOf(opened.label).value_or(0);
    } else {
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
        if (m_bench->writeTrace(m_options.tracePath)) {
            std::fprintf(stderr, "turntablectl: port trace written to %s\n",
                         m_options.tracePath.c_str());
        } else {
            std::fprintf(stderr, "turntablectl: cannot write the port trace to %s\n",
                         m_options.tracePath.c_str());
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
