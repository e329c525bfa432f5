#include "SimulatedBench.h"

#include <dlfcn.h>

#include <string>

#include "ftsim_c.h"

// The simulator's C functions, found with dlsym; their types come from the
// simulator's own header so that a change there fails to compile here.
struct SimulatedBench::Api {
    void* library = nullptr;
    decltype(&ftsim_reset) reset = nullptr;
    decltype(&ftsim_add_stepper_device) addStepper = nullptr;
    decltype(&ftsim_add_dc_device) addDc = nullptr;
    decltype(&ftsim_set_call_delay_us) setCallDelay = nullptr;
    decltype(&ftsim_write_vcd) writeVcd = nullptr;
    decltype(&ftsim_stepper_position) stepperPosition = nullptr;
    decltype(&ftsim_stepper_pulses) stepperPulses = nullptr;
    decltype(&ftsim_stepper_lost) stepperLost = nullptr;
    decltype(&ftsim_shots) shots = nullptr;
    decltype(&ftsim_dc_counts) dcCounts = nullptr;
    // Looked up apart: a simulator without it still serves everything else.
    decltype(&ftsim_fail_open) failOpen = nullptr;

    ~Api() {
        if (library != nullptr) {
            dlclose(library);
        }
    }
};

namespace {

template <typename T>
bool lookUp(void* library, const char* name, T* target) {
    *target = reinterpret_cast<T>(dlsym(library, name));
    return *target != nullptr;
}

}  // namespace

SimulatedBench::SimulatedBench(std::unique_ptr<Api> api) : m_api(std::move(api)) {}

SimulatedBench::~SimulatedBench() = default;

std::unique_ptr<SimulatedBench> SimulatedBench::find() {
    // RTLD_NOLOAD: only the libftd2xx.so that the plug-in pulled in counts;
    // this takes one more reference on it, dropped in ~Api.
    void* library = dlopen("libftd2xx.so", RTLD_NOLOAD | RTLD_LAZY);
    if (library == nullptr) {
        return nullptr;
    }
    auto api = std::make_unique<Api>();
    api->library = library;

    decltype(&ftsim_is_simulator) isSimulator = nullptr;
    if (!lookUp(library, "ftsim_is_simulator", &isSimulator) || isSimulator() != 1) {
        return nullptr;
    }
    const bool complete = lookUp(library, "ftsim_reset", &api->reset) &&
                          lookUp(library, "ftsim_add_stepper_device", &api->addStepper) &&
                          lookUp(library, "ftsim_add_dc_device", &api->addDc) &&
                          lookUp(library, "ftsim_set_call_delay_us", &api->setCallDelay) &&
                          lookUp(library, "ftsim_write_vcd", &api->writeVcd) &&
                          lookUp(library, "ftsim_stepper_position", &api->stepperPosition) &&
                          lookUp(library, "ftsim_stepper_pulses", &api->stepperPulses) &&
                          lookUp(library, "ftsim_stepper_lost", &api->stepperLost) &&
                          lookUp(library, "ftsim_shots", &api->shots) &&
                          lookUp(library, "ftsim_dc_counts", &api->dcCounts);
    if (!complete) {
        return nullptr;
    }
    lookUp(library, "ftsim_fail_open", &api->failOpen);
    return std::unique_ptr<SimulatedBench>(new SimulatedBench(std::move(api)));
}

bool SimulatedBench::attach(const Setup& setup, std::string* error) {
    if (m_api->reset() != 0) {
        *error = "the simulated bench is in use and cannot be reset";
        return false;
    }
    m_device = -1;
    if (m_api->setCallDelay(setup.usbLatencyMicroseconds) != 0) {
        *error = "the simulated bench refused the USB latency";
        return false;
    }
    if (!setup.attached) {
        return true;
    }
    const std::optional<ModelRow> model = ModelCatalogue::row(setup.row);
    if (!model) {
        *error = "no model row " + std::to_string(setup.row);
        return false;
    }
    const int identityRow = setup.identified ? int(model->row) : -1;
    const std::string serial = "VT" + std::to_string(1000 + model->row);

    m_stepper = !model->dcBoard;
    if (model->dcBoard) {
        m_countsPerRevolution = model->countsPerRevolution;
        m_device = m_api->addDc("FT245R USB FIFO", serial.c_str(), identityRow,
                                setup.dcCountMilliseconds * 1000000ull);
    } else {
        m_countsPerRevolution = setup.countsPerRevolution;
        if (m_countsPerRevolution == 0) {
            m_countsPerRevolution = model->countsPerRevolution != 0
                                        ? model->countsPerRevolution
                                        : ModelCatalogue::EXPERT_SIMULATED_COUNTS;
        }
        // The board's polarities follow the model, so that it turns the way
        // the plug-in's preset for that model drives it.
        m_device =
            m_api->addStepper("FT245R USB FIFO", serial.c_str(), identityRow, m_countsPerRevolution,
                              model->motorEnableActiveHigh, model->clockwiseActiveHigh);
    }
    if (m_device < 0) {
        *error = "the simulated bench refused the turntable";
        return false;
    }
    if (setup.failOpenStatus != 0) {
        if (m_api->failOpen == nullptr) {
            *error = "this simulator cannot make opening fail";
            return false;
        }
        m_api->failOpen(m_device, setup.failOpenStatus);
    }
    return true;
}

SimulatedBench::Counters SimulatedBench::counters() const {
    Counters c;
    if (m_device < 0) {
        return c;
    }
    c.stepper = m_stepper;
    c.position = m_api->stepperPosition(m_device);
    c.pulses = m_api->stepperPulses(m_device);
    c.lost = m_api->stepperLost(m_device);
    c.shots = m_api->shots(m_device);
    c.dcCounts = m_api->dcCounts(m_device);
    return c;
}

bool SimulatedBench::writeTrace(const std::string& path) const {
    return m_device >= 0 && m_api->writeVcd(m_device, path.c_str()) == 0;
}
