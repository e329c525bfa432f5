#ifndef PULSE_MODE_H
#define PULSE_MODE_H

#include <optional>
#include <string>

/// How the stepper board's step pulses are timed: by the worker thread, one
/// port write per edge (host-paced, the default), or by the chip's crystal,
/// the move streamed as bytes the chip clocks out one byte period apart
/// (clocked). Chosen by VORANDEL_TURNTABLE_PULSES in the host's environment,
/// read when a move starts.
class PulseMode {
public:
    enum Mode { Paced, Clocked };

    /// The environment variable that chooses the mode.
    static constexpr const char* VARIABLE = "VORANDEL_TURNTABLE_PULSES";

    /// "clocked" or "paced", without regard to case and surrounding spaces;
    /// nothing for any other text.
    static std::optional<Mode> parse(const std::string& text);

    /// The mode the environment asks for now: unset or empty gives Paced; a
    /// malformed value also gives Paced, and the first one this process sees
    /// is reported on standard error, once.
    static Mode fromEnvironment();

    /// "clocked" or "paced".
    static const char* name(Mode mode);
};

#endif  // PULSE_MODE_H
