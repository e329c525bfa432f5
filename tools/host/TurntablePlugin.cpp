#include "TurntablePlugin.h"

#include "EntryPointList.h"
#include "EntryPointSymbols.h"

#include <dlfcn.h>

#include <new>
#include <utility>

using Control = HxVorandelTurntableControl;

// Each non-virtual member function is an ordinary exported function whose
// first parameter is the object (Itanium C++ ABI); a result returned in
// memory is passed the same way for a member and a free function.
struct TurntablePlugin::EntryPoints {
    void (*construct)(Control*);
#define TT_ENTRY_POINT_FIELD(field, memberType, member) \
    using Member_##field = memberType;                  \
    entry_points::FreeFunction<Member_##field>::type field;
    TT_PLUGIN_ENTRY_POINTS(TT_ENTRY_POINT_FIELD)
#undef TT_ENTRY_POINT_FIELD
};

namespace {

template <typename T>
bool resolve(void* library, const char* name, T* target, std::string* error) {
    void* symbol = dlsym(library, name);
    if (symbol == nullptr) {
        *error = std::string("the plug-in library lacks ") + name;
        return false;
    }
    *target = reinterpret_cast<T>(symbol);
    return true;
}

}  // namespace

std::unique_ptr<TurntablePlugin> TurntablePlugin::load(const std::string& path,
                                                       std::string* error) {
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* why = dlerror();
        *error = why != nullptr ? why : "cannot load " + path;
        return nullptr;
    }

    std::unique_ptr<TurntablePlugin> plugin(new TurntablePlugin());
    plugin->m_path = path;
    plugin->m_library = library;
    plugin->m_entry = std::make_unique<EntryPoints>();
    EntryPoints& e = *plugin->m_entry;

    // The names are those the compiler gives the header's declarations
    // (EntryPointSymbols.h is generated at build time).
    bool resolved = resolve(library, TT_SYMBOL_construct, &e.construct, error);
#define TT_RESOLVE_ENTRY_POINT(field, type, member) \
    resolved = resolved && resolve(library, TT_SYMBOL_##field, &e.field, error);
    TT_PLUGIN_ENTRY_POINTS(TT_RESOLVE_ENTRY_POINT)
#undef TT_RESOLVE_ENTRY_POINT
#define TT_RESOLVE_SLOT(field, object) \
    resolved = resolved && resolve(library, TT_SYMBOL_##field, &plugin->m_##field, error);
    TT_PLUGIN_SLOTS(TT_RESOLVE_SLOT)
#undef TT_RESOLVE_SLOT
    if (!resolved) {
        return nullptr;  // the destructor unloads the library
    }

    // The storage is the host's, the construction the library's: exactly
    // what `new HxVorandelTurntableControl` does in a host linked to it.
    void* storage = ::operator new(sizeof(Control));
    e.construct(static_cast<Control*>(storage));
    plugin->m_object = static_cast<Control*>(storage);
    return plugin;
}

TurntablePlugin::~TurntablePlugin() {
    if (m_openSucceededSlot != nullptr) {
        *m_openSucceededSlot = nullptr;
        *m_disconnectedSlot = nullptr;
        *m_rotationStoppedSlot = nullptr;
    }
    // The deleting destructor comes from the object's virtual table, so it
    // runs the library's destructors and frees the storage made above.
    delete static_cast<HxTurntableHardware*>(m_object);
    if (m_library != nullptr) {
        dlclose(m_library);
    }
}

void TurntablePlugin::setCallbacks(HxHardwareOpenSucceeded openSucceeded,
                                   HxHardwareDisconnected disconnected,
                                   HxTurntableRotationStopped rotationStopped) {
    *m_openSucceededSlot = std::move(openSucceeded);
    *m_disconnectedSlot = std::move(disconnected);
    *m_rotationStoppedSlot = std::move(rotationStopped);
}

HxString TurntablePlugin::lastError() const {
    return m_entry->lastError(m_object);
}
DevicesNamesList TurntablePlugin::catalogueNames() const {
    return m_entry->catalogueNames();
}
void TurntablePlugin::openDevice(size_t index, bool* success) {
    m_entry->openDevice(m_object, index, success);
}
bool TurntablePlugin::isTurntableOpened() const {
    return m_entry->isTurntableOpened(m_object);
}
void TurntablePlugin::spinningWillStart() {
    m_entry->spinningWillStart(m_object);
}
bool TurntablePlugin::startRotation() {
    return m_entry->startRotation(m_object);
}
void TurntablePlugin::stopRotation() {
    m_entry->stopRotation(m_object);
}
bool TurntablePlugin::IsTurntableRotating() {
    return m_entry->IsTurntableRotating(m_object);
}
int TurntablePlugin::SetRotationIncrementInCounts(int counts) {
    return m_entry->SetRotationIncrementInCounts(m_object, counts);
}
double TurntablePlugin::SetRotationIncrementInDegrees(double degrees) {
    return m_entry->SetRotationIncrementInDegrees(m_object, degrees);
}
void TurntablePlugin::SetCountsPerRevolution(unsigned counts) {
    m_entry->SetCountsPerRevolution(m_object, counts);
}
void TurntablePlugin::SetRotationSpeed(unsigned speed) {
    m_entry->SetRotationSpeed(m_object, speed);
}
void TurntablePlugin::SetRotationClockwise() {
    m_entry->SetRotationClockwise(m_object);
}
void TurntablePlugin::SetRotationCounterClockwise() {
    m_entry->SetRotationCounterClockwise(m_object);
}
void TurntablePlugin::SetLockMotorWhenIdle(bool lock, bool changeControllerBits) {
    m_entry->SetLockMotorWhenIdle(m_object, lock, changeControllerBits);
}
unsigned TurntablePlugin::rotationSpeed() const {
    return m_entry->rotationSpeed(m_object);
}
bool TurntablePlugin::isRotationClockwise() const {
    return m_entry->isRotationClockwise(m_object);
}
bool TurntablePlugin::isClockwiseActiveHigh() const {
    return m_entry->isClockwiseActiveHigh(m_object);
}
bool TurntablePlugin::isMotorEnableActiveHigh() const {
    return m_entry->isMotorEnableActiveHigh(m_object);
}
bool TurntablePlugin::isLockMotorWhenIdle() const {
    return m_entry->isLockMotorWhenIdle(m_object);
}
bool TurntablePlugin::shutterReleaseCameraHardware() {
    return m_entry->shutterReleaseCameraHardware(m_object);
}
bool TurntablePlugin::writeToEEPROM(short writtenId) {
    return m_entry->writeToEEPROM(m_object, writtenId);
}
bool TurntablePlugin::readFromEEPROM(short* writtenId) {
    return m_entry->readFromEEPROM(m_object, writtenId);
}
std::vector<HxVorandelTurntableControl::AttachedTurntable> TurntablePlugin::attachedTurntables()
    const {
    return m_entry->attachedTurntables();
}
DevicesNamesList TurntablePlugin::availableDevicesAt(size_t position) const {
    return m_entry->availableDevicesAt(m_object, position);
}
double TurntablePlugin::globalPositionInDegrees() const {
    return m_entry->globalPositionInDegrees(m_object);
}
HxVorandelTurntableControl::MoveOutcome TurntablePlugin::lastMoveOutcome() const {
    return m_entry->lastMoveOutcome(m_object);
}
HxVorandelTurntableControl::ChipByteClock TurntablePlugin::chipByteClock() const {
    return m_entry->chipByteClock(m_object);
}
HxVorandelTurntableControl::ChipByteClock TurntablePlugin::measureChipByteClock() {
    return m_entry->measureChipByteClock(m_object);
}
