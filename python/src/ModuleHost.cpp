#include "ModuleHost.h"

#include <pybind11/pybind11.h>

#include <cstdlib>

#include "D2xxBackend.h"
#include "SimulatedBench.h"
#include "TurntableErrors.h"

namespace py = pybind11;

namespace {

std::shared_ptr<ModuleHost>& instance() {
    static std::shared_ptr<ModuleHost> host;
    return host;
}

std::string environmentChoice() {
    const char* value = std::getenv("VORANDEL_TURNTABLE_D2XX");
    return value != nullptr ? value : "";
}

}  // namespace

ModuleHost::ModuleHost(std::string choice, std::unique_ptr<LoadedPlugin> loaded)
    : m_choice(std::move(choice)),
      m_loaded(std::move(loaded)),
      m_session(std::make_unique<HostSession>(m_loaded->plugin())) {}

std::shared_ptr<ModuleHost> ModuleHost::get(const std::optional<std::string>& d2xx) {
    std::shared_ptr<ModuleHost>& host = instance();
    const std::string choice = d2xx ? *d2xx : environmentChoice();
    if (host) {
        if (d2xx && *d2xx != host->m_choice) {
            throw TurntableError("the D2XX library is chosen once a process: this one runs on " +
                                 (host->m_choice.empty() ? host->d2xxName() : host->m_choice) +
                                 ", not " + *d2xx);
        }
        return host;
    }
    std::string error;
    std::unique_ptr<LoadedPlugin> loaded;
    {
        py::gil_scoped_release release;
        loaded = LoadedPlugin::load(choice, "", &error);
    }
    if (!loaded) {
        throw TurntableError(error);
    }
    host.reset(new ModuleHost(choice, std::move(loaded)));
    return host;
}

void ModuleHost::shutdown() {
    std::shared_ptr<ModuleHost>& host = instance();
    if (!host) {
        return;
    }
    std::shared_ptr<ModuleHost> last = std::move(host);
    py::gil_scoped_release release;
    last->session().close();
    last.reset();  // the plug-in goes with the last table that holds it
}

std::string ModuleHost::d2xxName() const {
    return D2xxBackend::nameInUse(SimulatedBench::find() != nullptr);
}

void ModuleHost::claimTable(const TableInfo& table) {
    m_openTable = table;
}
