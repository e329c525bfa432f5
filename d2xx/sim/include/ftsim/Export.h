// Symbols of the simulator that tests and tools reach; everything else stays hidden.
#ifndef FTSIM_EXPORT_H
#define FTSIM_EXPORT_H

#define FTSIM_API __attribute__((visibility("default")))

#endif  // FTSIM_EXPORT_H
