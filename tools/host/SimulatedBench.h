#ifndef TURNTABLECTL_SIMULATED_BENCH_H
#define TURNTABLECTL_SIMULATED_BENCH_H

#include <memory>
#include <optional>
#include <string>

/// The simulated FT245R bench, when that is what stands behind the
/// plug-in's libftd2xx.so. Reached through the simulator's C interface,
/// looked up in the library the plug-in already loaded, so turntablectl
/// needs no link to it and runs unchanged on the vendor's library.
class SimulatedBench {
public:
    /// The identified Cobalt Medium: the simulated turntable when none is named.
    static constexpr size_t DEFAULT_ROW = 3;

    /// What to attach before discovery; unset settings are the simulator's
    /// defaults for the model.
    struct Setup {
        size_t row = DEFAULT_ROW;              ///< catalogue row the board is built as
        bool identified = true;               ///< write the row into the identity record
        bool attached = true;                 ///< false: no turntable at all
        unsigned countsPerRevolution = 0;     ///< 0: the model's own
        std::optional<unsigned> dcCountMilliseconds;  ///< time per count of the Classic's motor
        unsigned usbLatencyMicroseconds = 0;  ///< delay of every D2XX call
        unsigned byteClockMultiple = 16;      ///< bit-bang bytes a second per baud
        unsigned failOpenStatus = 0;          ///< non-zero: FT_Open answers this status
    };

    /// The simulator's table list (the FTSIM_DEVICES grammar) that builds
    /// what `setup` describes.
    static std::string tableList(const Setup& setup);

    /// Board counters at the end of a command.
    struct Counters {
        bool stepper = false;
        long long position = 0;           ///< net steps, stepper board
        unsigned long long pulses = 0;    ///< step pulses, stepper board
        unsigned long long lost = 0;      ///< pulses the board could not follow
        unsigned shots = 0;               ///< shutter releases
        unsigned long long dcCounts = 0;  ///< counts turned, DC board
    };

    /// The bench behind the already loaded libftd2xx.so, or null when that
    /// library is not the simulator (real hardware).
    static std::unique_ptr<SimulatedBench> find();
    ~SimulatedBench();

    /// Empties the bench and attaches the turntables of `tableList`, in the
    /// FTSIM_DEVICES grammar; the first is the one the counters describe.
    /// False with the reason in `*error` when the bench refuses.
    bool attach(const std::string& tableList, std::string* error);
    /// Makes the board at D2XX list index `device` the one the counters,
    /// the counts and the trace describe (the table a command opened).
    void follow(int device);
    /// Counts per revolution of the followed board (at first the first).
    unsigned countsPerRevolution() const { return m_countsPerRevolution; }
    bool hasDevice() const { return m_device >= 0; }
    Counters counters() const;
    /// Writes the followed board's pin history as a VCD file.
    bool writeTrace(const std::string& path) const;

private:
    struct Api;

    explicit SimulatedBench(std::unique_ptr<Api> api);

    std::unique_ptr<Api> m_api;
    int m_device = -1;
    bool m_stepper = true;
    unsigned m_countsPerRevolution = 0;
};

#endif  // TURNTABLECTL_SIMULATED_BENCH_H
