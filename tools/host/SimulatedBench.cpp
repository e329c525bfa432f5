#include "SimulatedBench.h"

#include <dlfcn.h>

#include <string>

#include "ftsim_c.h"

// The simulator's C functions, found with dlsym; their types come from the
// simulator's own header so that a change there fails to compile here.
struct SimulatedBench::Api {
    void* library = nullptr;
    decltype(&ftsim_configure) configure = nullptr;
    decltype(&ftsim_board_kind) boardKind = nullptr;
    decltype(&ftsim_counts_per_revolution) countsPerRevolution = nullptr;
    decltype(&ftsim_write_vcd) writeVcd = nullptr;
    decltype(&ftsim_stepper_position) stepperPosition = nullptr;
    decltype(&ftsim_stepper_pulses) stepperPulses = nullptr;
    decltype(&ftsim_stepper_lost) stepperLost = nullptr;
    decltype(&ftsim_shots) shots = nullptr;
    decltype(&ftsim_dc_counts) dcCounts = nullptr;

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
    const bool complete =
        lookUp(library, "ftsim_configure", &api->configure) &&
        lookUp(library, "ftsim_board_kind", &api->boardKind) &&
        lookUp(library, "ftsim_counts_per_revolution", &api->countsPerRevolution) &&
        lookUp(library, "ftsim_write_vcd", &api->writeVcd) &&
        lookUp(library, "ftsim_stepper_position", &api->stepperPosition) &&
        lookUp(library, "ftsim_stepper_pulses", &api->stepperPulses) &&
        lookUp(library, "ftsim_stepper_lost", &api->stepperLost) &&
        lookUp(library, "ftsim_shots", &api->shots) &&
        lookUp(library, "ftsim_dc_counts", &api->dcCounts);
    if (!complete) {
        return nullptr;
    }
    return std::unique_ptr<SimulatedBench>(new SimulatedBench(std::move(api)));
}

std::string SimulatedBench::tableList(const Setup& setup) {
    if (!setup.attached) {
        return "";
    }
    std::string list = std::to_string(setup.row);
    if (!setup.identified) {
        list += ",unidentified";
    }
    if (setup.countsPerRevolution != 0) {
        list += ",counts=" + std::to_string(setup.countsPerRevolution);
    }
    if (setup.dcCountMilliseconds) {
        list += ",count-time=" + std::to_string(*setup.dcCountMilliseconds);
    }
    if (setup.usbLatencyMicroseconds != 0) {
        list += ",usb-latency=" + std::to_string(setup.usbLatencyMicroseconds);
    }
    if (setup.byteClockMultiple != 16) {
        list += ",byte-clock=" + std::to_string(setup.byteClockMultiple);
    }
    if (setup.failOpenStatus != 0) {
        list += ",fail-open=" + std::to_string(setup.failOpenStatus);
    }
    return list;
}

bool SimulatedBench::attach(const std::string& tableList, std::string* error) {
    char fault[400] = {};
    const int tables = m_api->configure(tableList.c_str(), fault, sizeof fault);
    if (tables < 0) {
        *error = fault;
        return false;
    }
    m_device = -1;
    if (tables > 0) {
        follow(0);
    }
    return true;
}

void SimulatedBench::follow(int device) {
    m_device = device;
    m_stepper = m_api->boardKind(device) == 1;
    m_countsPerRevolution = m_api->countsPerRevolution(device);
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
