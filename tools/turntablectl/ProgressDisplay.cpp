#include "ProgressDisplay.h"

#include <cstdint>

ProgressDisplay::ProgressDisplay(std::FILE* out, bool terminal, unsigned shots, unsigned firstShot,
                                 std::optional<double> expectedSeconds)
    : m_out(out),
      m_terminal(terminal),
      m_shots(shots),
      m_done(firstShot > 0 ? firstShot - 1 : 0),
      m_left(shots > m_done ? shots - m_done : 0, expectedSeconds),
      m_start(Clock::now()) {}

void ProgressDisplay::moving(unsigned shot, double angle) {
    m_current = shot;
    m_angle = angle;
    if (m_terminal) {
        draw();
    }
}

void ProgressDisplay::shotTaken(unsigned shot, double angle, bool shutterFired) {
    m_left.shotTaken(elapsedSeconds());
    m_done = shot;
    m_current = shot;
    m_angle = angle;
    if (m_terminal) {
        draw();
        return;
    }
    std::fprintf(m_out, "shot %u/%u at %.2f deg%s, elapsed %.1f s\n", shot, m_shots, angle,
                 shutterFired ? " (shutter released)" : "", elapsedSeconds());
    std::fflush(m_out);
}

void ProgressDisplay::tick() {
    if (m_terminal) {
        draw();
    }
}

void ProgressDisplay::finish() {
    if (m_terminal && m_drawn) {
        std::fputc('\n', m_out);
        std::fflush(m_out);
        m_drawn = false;
    }
}

double ProgressDisplay::elapsedSeconds() const {
    return std::chrono::duration<double>(Clock::now() - m_start).count();
}

std::string ProgressDisplay::formatDuration(double seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    const long total = long(seconds + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

std::string ProgressDisplay::bar(unsigned done, unsigned total, unsigned width) {
    const unsigned filled = total == 0 ? width : unsigned(uint64_t(done) * width / total);
    return std::string(filled, '#') + std::string(width - filled, '-');
}

void ProgressDisplay::draw() {
    const double elapsed = elapsedSeconds();
    const std::optional<double> secondsLeft =
        m_left.secondsLeft(elapsed, m_shots > m_done ? m_shots - m_done : 0);
    const std::string left = secondsLeft ? formatDuration(*secondsLeft) : "--:--";
    // \r and "erase line" redraw in place; the line stays under 80 columns.
    std::fprintf(m_out, "\r\033[2K[%s] shot %u/%u %7.2f deg  %s elapsed  %s left",
                 bar(m_done, m_shots, 24).c_str(), m_current, m_shots, m_angle,
                 formatDuration(elapsed).c_str(), left.c_str());
    std::fflush(m_out);
    m_drawn = true;
}
