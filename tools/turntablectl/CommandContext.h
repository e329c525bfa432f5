#ifndef TURNTABLECTL_COMMAND_CONTEXT_H
#define TURNTABLECTL_COMMAND_CONTEXT_H

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CommonOptions.h"
#include "D2xxBackend.h"
#include "HostSession.h"
#include "LoadedPlugin.h"
#include "ModelCatalogue.h"
#include "SimulatedBench.h"
#include "TurntablePlugin.h"

/// Everything a command works with: the loaded plug-in, the host session over
/// it, and the simulated bench when there is one. Failures leave as
/// CommandFailure with the matching exit status.
class CommandContext {
public:
    /// The turntable a command opened.
    struct Opened {
        std::string label;        ///< the model's name as the plug-in lists it
        size_t row = 0;           ///< the row it was opened by (--model)
        size_t modelRow = 0;      ///< the catalogue row of the model in force
        bool identified = false;  ///< the turntable carries an identity record
        unsigned counts = 0;      ///< counts per revolution in force
        /// The turntable's identity row when it differs from the row opened.
        std::optional<size_t> identityRow;
    };

    /// The attached turntable a command works with, as `list` shows it.
    struct Chosen {
        size_t position = 0;
        std::string serial;
        size_t attached = 0;  ///< turntables attached in all
    };

    /// Loads the plug-in and, on the simulator, attaches the simulated
    /// turntable; first refuses model rows outside the plug-in's catalogue.
    explicit CommandContext(const CommonOptions& options);
    ~CommandContext();

    TurntablePlugin& plugin() { return *m_plugin; }
    HostSession& session() { return *m_session; }
    /// Null on real hardware.
    SimulatedBench* bench() { return m_bench.get(); }
    const CommonOptions& options() const { return m_options; }
    /// The rows as the loaded plug-in names them.
    const ModelCatalogue& catalogue() const { return *m_catalogue; }

    /// Every attached turntable chip, in list order.
    std::vector<HxVorandelTurntableControl::AttachedTurntable> attachedTurntables();
    /// Discovery of the turntable --table or --serial names (default: the
    /// first identified one, else the first that opens); throws
    /// EXIT_NO_TURNTABLE with the plug-in's text when none is attached or
    /// the one named is not, EXIT_OPEN_FAILED when it cannot be opened.
    HostSession::Discovery discoverOrFail();
    /// The turntable the latest discoverOrFail() chose.
    const Chosen& chosen() const { return m_chosen; }
    /// The plug-in's text for no turntable, with hints when real hardware
    /// may be attached but out of reach.
    std::string noTurntableText(const std::string& pluginText) const;
    /// Discovery, then opening by --model (default 0: the identified model,
    /// or the expert row of the catalogue), then the host-side settings.
    Opened openOrFail();

    /// Closes the turntable and writes the trace; returns `code`, or a failure
    /// status when the trace could not be written.
    int finish(int code);
    /// The simulated board's counters as one line, or "" on real hardware.
    std::string boardSummary() const;
    /// Prints boardSummary() as a line of its own, when there is one.
    void printBoardSummary() const;
    /// "simulator", "libftdi1" or "vendor library".
    std::string backendName() const { return D2xxBackend::nameInUse(m_bench != nullptr); }

private:
    CommonOptions m_options;
    std::unique_ptr<LoadedPlugin> m_loaded;
    TurntablePlugin* m_plugin = nullptr;
    std::unique_ptr<ModelCatalogue> m_catalogue;
    std::unique_ptr<SimulatedBench> m_bench;
    std::unique_ptr<HostSession> m_session;
    Chosen m_chosen;
    bool m_finished = false;
};

#endif  // TURNTABLECTL_COMMAND_CONTEXT_H
