// Never linked into a program: the build compiles this file only to read, from
// its relocations, the symbol names the compiler gives the plug-in's entry
// points (EntryPointSymbols.cmake). Each reference sits in a section named
// after its entry point.
#include <new>

#include "EntryPointList.h"

#define TT_PROBE_ENTRY_POINT(field, type, member)                           \
    using Probe_##field = type;                                                \
    __attribute__((section(".tt_entry." #field))) extern const Probe_##field \
        probe_##field;                                                         \
    const Probe_##field probe_##field = static_cast<Probe_##field>(member);
TT_PLUGIN_ENTRY_POINTS(TT_PROBE_ENTRY_POINT)

#define TT_PROBE_SLOT(field, object)                                                         \
    __attribute__((section(".tt_entry." #field))) extern const void* const probe_##field; \
    const void* const probe_##field = object;
TT_PLUGIN_SLOTS(TT_PROBE_SLOT)

// The constructor has no address to take; the call that placement new makes
// names it.
__attribute__((section(".tt_entry.construct"), used)) void probeConstruct(void* storage) {
    new (storage) HxVorandelTurntableControl();
}
