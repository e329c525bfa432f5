#ifndef TURNTABLECTL_INTERRUPT_SIGNAL_H
#define TURNTABLECTL_INTERRUPT_SIGNAL_H

/// Ctrl-C (SIGINT) and SIGTERM as a flag that the main thread polls. The
/// handler only sets the flag: stopping the move and closing the turntable
/// happen on the main thread, where calling the plug-in is safe. Repeats
/// within a second of the first are taken as the same request; a Ctrl-C
/// after that ends the program at once, unless the program said it would
/// take a second request as "stop at once" (patient()); then the third does.
class InterruptSignal {
public:
    static void install();
    static bool raised();
    /// While `patient`, the first request is answered by finishing a step
    /// and a later one (insisted()) by stopping at once.
    static void setPatient(bool patient);
    /// A second request came, later than the repeats of the first.
    static bool insisted();
};

#endif  // TURNTABLECTL_INTERRUPT_SIGNAL_H
