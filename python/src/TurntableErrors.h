#ifndef VORANDEL_PY_TURNTABLE_ERRORS_H
#define VORANDEL_PY_TURNTABLE_ERRORS_H

#include <stdexcept>
#include <string>

// The module's failures, each raised in Python as the exception class of the
// same name (ModuleBindings.cpp), with the plug-in's own text where it gave one.

/// Base of every failure the turntable or the plug-in reports.
struct TurntableError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// Discovery found no table, or none at the index asked for.
struct NoTableError : TurntableError {
    using TurntableError::TurntableError;
};

/// The table was found but could not be opened.
struct OpenError : TurntableError {
    using TurntableError::TurntableError;
};

/// The plug-in refused a move or a shot (another one under way, a direction
/// the board cannot turn, no camera lines).
struct MoveRefusedError : TurntableError {
    using TurntableError::TurntableError;
};

/// A move ended without the board doing it: the turntable did not respond.
struct MoveFailedError : TurntableError {
    using TurntableError::TurntableError;
};

/// A blocking move ran past its timeout; the table was stopped.
struct MoveTimeout : TurntableError {
    using TurntableError::TurntableError;
};

#endif  // VORANDEL_PY_TURNTABLE_ERRORS_H
