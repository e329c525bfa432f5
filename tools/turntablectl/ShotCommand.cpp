#include "ShotCommand.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "InterruptSignal.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kPoll = std::chrono::milliseconds(10);
// A camera tool asked to end may still be closing a file on the card.
constexpr auto kTermGrace = std::chrono::seconds(2);

std::vector<std::string> environmentWith(const ShotCommand::Environment& extra) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& variable : extra) {
            replaced = replaced || text.compare(0, variable.first.size() + 1,
                                                variable.first + "=") == 0;
        }
        if (!replaced) {
            entries.push_back(text);
        }
    }
    for (const auto& variable : extra) {
        entries.push_back(variable.first + "=" + variable.second);
    }
    return entries;
}

// True once `pid` has ended within `limit`; `*status` then holds its status.
bool reapWithin(pid_t pid, Clock::duration limit, int* status) {
    const Clock::time_point end = Clock::now() + limit;
    for (;;) {
        const pid_t done = waitpid(pid, status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) {
            return true;
        }
        if (Clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

// Ends the command's whole process group: politely first, then for sure,
// also what it left running in the background.
void endGroup(pid_t pid) {
    kill(-pid, SIGTERM);
    int status = 0;
    if (!reapWithin(pid, kTermGrace, &status)) {
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
    kill(-pid, SIGKILL);
}

}  // namespace

ShotCommand::ShotCommand(std::string command, double timeoutSeconds, bool outputToStderr)
    : m_command(std::move(command)),
      m_timeoutSeconds(timeoutSeconds),
      m_outputToStderr(outputToStderr) {}

ShotCommand::Result ShotCommand::run(const Environment& extra) const {
    Result result;
    const std::vector<std::string> entries = environmentWith(extra);
    std::vector<char*> envp;
    for (const std::string& entry : entries) {
        envp.push_back(const_cast<char*>(entry.c_str()));
    }
    envp.push_back(nullptr);
    const char* argv[] = {"/bin/sh", "-c", m_command.c_str(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (m_outputToStderr) {
        posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGPIPE);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    std::fflush(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, &attributes,
                                    const_cast<char* const*>(argv), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.error = std::strerror(spawned);
        return result;
    }

    const Clock::time_point start = Clock::now();
    int status = 0;
    for (;;) {
        if (reapWithin(pid, Clock::duration::zero(), &status)) {
            break;
        }
        if (InterruptSignal::raised()) {
            endGroup(pid);
            result.outcome = Outcome::Interrupted;
            return result;
        }
        if (m_timeoutSeconds > 0 &&
            std::chrono::duration<double>(Clock::now() - start).count() >= m_timeoutSeconds) {
            endGroup(pid);
            result.outcome = Outcome::TimedOut;
            return result;
        }
        std::this_thread::sleep_for(kPoll);
    }
    if (WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
        result.outcome = result.status == 0 ? Outcome::Succeeded : Outcome::Failed;
    } else {
        result.status = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
        result.outcome = Outcome::Killed;
    }
    return result;
}
