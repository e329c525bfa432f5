#ifndef TURNTABLECTL_EXIT_CODES_H
#define TURNTABLECTL_EXIT_CODES_H

/// turntablectl's exit status, one per kind of outcome, so that scripts can
/// tell them apart without reading the text.
enum ExitCode : int {
    EXIT_OK = 0,
    EXIT_RUNTIME_FAILURE = 1,   ///< the plug-in could not be loaded, a move or write failed
    EXIT_BAD_ARGUMENTS = 2,     ///< the command line was not understood (usage printed)
    EXIT_NO_TURNTABLE = 3,      ///< discovery found no turntable
    EXIT_OPEN_FAILED = 4,       ///< the turntable was found but could not be opened
    EXIT_ROW_OUT_OF_RANGE = 5,  ///< a model row outside the catalogue
    EXIT_SHOT_COMMAND_FAILED = 6,     ///< spin's on-shot command failed or could not start
    EXIT_SHOT_COMMAND_TIMED_OUT = 7,  ///< spin's on-shot command ran past --on-shot-timeout
    EXIT_INTERRUPTED = 130,     ///< Ctrl-C ended the command (128 + SIGINT)
};

#endif  // TURNTABLECTL_EXIT_CODES_H
