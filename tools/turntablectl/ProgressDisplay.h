#ifndef TURNTABLECTL_PROGRESS_DISPLAY_H
#define TURNTABLECTL_PROGRESS_DISPLAY_H

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "TimeLeftEstimate.h"

/// Progress of a stepped spin: on a terminal one bar redrawn in place (shot
/// k of N, angle, elapsed, time left); elsewhere (a pipe, a log file) one
/// plain line per shot, which scripts and logs read better.
class ProgressDisplay {
public:
    using Clock = std::chrono::steady_clock;

    /// `terminal`: draw the bar; `shots`: N; `firstShot`: the first shot
    /// this run takes (a resumed run starts later); `expectedSeconds`: what
    /// the plan expects this run to take, when known.
    ProgressDisplay(std::FILE* out, bool terminal, unsigned shots, unsigned firstShot = 1,
                    std::optional<double> expectedSeconds = std::nullopt);

    /// The spin turns towards shot `shot` (1-based) at `angle` degrees.
    void moving(unsigned shot, double angle);
    /// Shot `shot` is taken at `angle` degrees.
    void shotTaken(unsigned shot, double angle, bool shutterFired);
    /// Redraws the elapsed time while waiting; does nothing off a terminal.
    void tick();
    /// Ends the bar's line, so that what follows starts on a fresh one.
    void finish();

    double elapsedSeconds() const;
    /// "1:05" style.
    static std::string formatDuration(double seconds);
    /// The bar, `width` cells for `done` of `total`.
    static std::string bar(unsigned done, unsigned total, unsigned width);

private:
    void draw();

    std::FILE* m_out;
    bool m_terminal;
    unsigned m_shots;
    unsigned m_done;  ///< number of the last shot taken (before this run's first)
    TimeLeftEstimate m_left;
    unsigned m_current = 0;
    double m_angle = 0.0;
    bool m_drawn = false;
    Clock::time_point m_start;
};

#endif  // TURNTABLECTL_PROGRESS_DISPLAY_H
