#ifndef TURNTABLECTL_INTERRUPT_SIGNAL_H
#define TURNTABLECTL_INTERRUPT_SIGNAL_H

/// Ctrl-C (SIGINT) and SIGTERM as a flag that the main thread polls. The
/// handler only sets the flag: stopping the move and closing the turntable
/// happen on the main thread, where calling the plug-in is safe. Repeats
/// within a second of the first are taken as the same request; a Ctrl-C
/// after that ends the program at once.
class InterruptSignal {
public:
    static void install();
    static bool raised();
};

#endif  // TURNTABLECTL_INTERRUPT_SIGNAL_H
