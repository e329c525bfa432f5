#ifndef DEVICE_OPEN_TURNS_H
#define DEVICE_OPEN_TURNS_H

#include <mutex>

/// Discovery and listing open every free candidate for a moment to read its
/// record. An open of another object in this process that met such a
/// moment would fail, so within the process every brief open and every
/// connection's FT_Open hold this lock. (Another process can still hold a
/// device for a moment; the D2XX list shows no more than that.)
std::mutex& deviceOpenTurns();

#endif  // DEVICE_OPEN_TURNS_H
