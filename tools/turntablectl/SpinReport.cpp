#include "SpinReport.h"

#include <cstdio>

SpinReport::SpinReport(bool json, bool terminal, unsigned shots, unsigned firstShot,
                       std::optional<double> expectedSeconds)
    : m_json(json), m_progress(stdout, terminal && !json, shots, firstShot, expectedSeconds) {}

void SpinReport::say(const std::string& text) {
    std::FILE* out = m_json ? stderr : stdout;
    std::fprintf(out, "%s\n", text.c_str());
    std::fflush(out);
}

void SpinReport::warn(const std::string& text) {
    std::fflush(stdout);
    std::fprintf(stderr, "turntablectl: %s\n", text.c_str());
}

void SpinReport::moving(unsigned shot, double angle) {
    if (!m_json) {
        m_progress.moving(shot, angle);
    }
}

void SpinReport::moved(unsigned shot, double angle, long counts) {
    emit({{"event", "moved"}, {"shot", shot}, {"angle", angle}, {"counts", counts}});
}

void SpinReport::settled(unsigned shot, double angle, unsigned milliseconds) {
    emit({{"event", "settled"}, {"shot", shot}, {"angle", angle}, {"milliseconds", milliseconds}});
}

void SpinReport::commandStarting() {
    m_progress.finish();
}

void SpinReport::shotTaken(unsigned shot, double angle, bool shutter, bool command) {
    if (!m_json) {
        m_progress.shotTaken(shot, angle, shutter);
    }
    emit({{"event", "shot"},
          {"shot", shot},
          {"angle", angle},
          {"shutter", shutter},
          {"command", command}});
}

void SpinReport::commandFailed(unsigned shot, double angle, const ShotCommand::Result& result,
                               double timeoutSeconds) {
    nlohmann::json event = {{"event", "command-failed"},
                            {"shot", shot},
                            {"angle", angle},
                            {"why", describe(result, timeoutSeconds)}};
    switch (result.outcome) {
        case ShotCommand::Outcome::Failed:
            event["exitStatus"] = result.status;
            break;
        case ShotCommand::Outcome::Killed:
            event["signal"] = result.status;
            break;
        case ShotCommand::Outcome::TimedOut:
            event["timedOut"] = true;
            break;
        default:
            break;
    }
    emit(event);
}

void SpinReport::ended(const std::string& reason, unsigned taken, const std::string& resume,
                       const Resting& resting) {
    nlohmann::json event = {{"event", reason == "done" ? "done" : "stopped"},
                            {"reason", reason},
                            {"shotsTaken", taken},
                            {"seconds", elapsedSeconds()}};
    if (reason != "done") {
        // Null where the table stopped between two shots.
        event["restingShot"] = resting.atShot ? nlohmann::json(resting.shot) : nullptr;
        event["restingAngle"] = resting.atShot ? nlohmann::json(resting.angle) : nullptr;
        event["restingCounts"] = resting.atShot ? nlohmann::json(resting.countsFromStart) : nullptr;
        event["resume"] = resume.empty() ? nlohmann::json(nullptr) : nlohmann::json(resume);
    }
    emit(event);
}

void SpinReport::tick() {
    if (!m_json) {
        m_progress.tick();
    }
}

void SpinReport::finish() {
    m_progress.finish();
}

std::string SpinReport::describe(const ShotCommand::Result& result, double timeoutSeconds) {
    switch (result.outcome) {
        case ShotCommand::Outcome::Failed:
            return "exited with status " + std::to_string(result.status);
        case ShotCommand::Outcome::Killed:
            return "was ended by signal " + std::to_string(result.status);
        case ShotCommand::Outcome::TimedOut: {
            char text[80];
            std::snprintf(text, sizeof text, "ran longer than %g s and was ended", timeoutSeconds);
            return text;
        }
        case ShotCommand::Outcome::NotStarted:
            return "could not be started: " + result.error;
        case ShotCommand::Outcome::Interrupted:
            return "was ended by Ctrl-C";
        case ShotCommand::Outcome::Succeeded:
            break;
    }
    return "succeeded";
}

void SpinReport::emit(nlohmann::json event) {
    if (!m_json) {
        return;
    }
    event["elapsed"] = elapsedSeconds();
    std::printf("%s\n", event.dump().c_str());
    std::fflush(stdout);
}
