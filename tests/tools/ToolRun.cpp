#include "ToolRun.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// A program that hangs must not hang the suite.
constexpr auto kRunLimit = std::chrono::seconds(120);

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string tempPath(const char* tag) {
    std::string path = std::string("/tmp/turntablectl-test-") + tag + "-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
        throw std::runtime_error("mkstemp failed");
    }
    close(fd);
    return path;
}

ToolRun run(const std::vector<std::string>& argv, bool searchPath, const std::string& waitFor,
            int interrupts = 1, std::chrono::milliseconds gap = std::chrono::milliseconds(20),
            std::chrono::milliseconds after = std::chrono::milliseconds(0)) {
    const std::string outPath = tempPath("out");
    const std::string errPath = tempPath("err");

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_TRUNC,
                                     0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_TRUNC,
                                     0);
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = searchPath
                            ? posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ)
                            : posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }

    ToolRun result;
    const Clock::time_point start = Clock::now();
    Clock::time_point interruptedAt{};
    Clock::time_point seenAt{};
    bool interrupted = waitFor.empty();
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            break;
        }
        if (!interrupted && seenAt == Clock::time_point{} &&
            readFile(outPath).find(waitFor) != std::string::npos) {
            seenAt = Clock::now();
        }
        if (!interrupted && seenAt != Clock::time_point{} && Clock::now() - seenAt >= after) {
            interruptedAt = Clock::now();
            interrupted = true;
            for (int i = 0; i < interrupts; ++i) {
                if (i > 0) {
                    std::this_thread::sleep_for(gap);
                }
                kill(pid, SIGINT);
            }
        }
        if (Clock::now() - start > kRunLimit) {
            kill(pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!waitFor.empty() && interruptedAt != Clock::time_point{}) {
        result.interruptToExit =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - interruptedAt);
    }
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    unlink(outPath.c_str());
    unlink(errPath.c_str());
    return result;
}

std::vector<std::string> withTool(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {TURNTABLECTL_PATH, "--plugin", PLUGIN_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

}  // namespace

ToolRun ToolRun::turntablectl(const std::vector<std::string>& args) {
    return run(withTool(args), false, "");
}

ToolRun ToolRun::turntablectlInterrupted(const std::vector<std::string>& args,
                                         const std::string& waitFor, int times,
                                         std::chrono::milliseconds gap,
                                         std::chrono::milliseconds after) {
    return run(withTool(args), false, waitFor, times, gap, after);
}

ToolRun ToolRun::program(const std::vector<std::string>& argv) {
    return run(argv, true, "");
}

std::vector<std::string> ToolRun::outLinesWith(const std::string& text) const {
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        if (line.find(text) != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

std::string ToolRun::describe() const {
    return "exit " + std::to_string(exitCode) + " signal " + std::to_string(signal) +
           "\n--- stdout\n" + out + "--- stderr\n" + err;
}

ToolRun::Board ToolRun::board() const {
    Board b;
    for (const std::string& line : outLinesWith("simulated board:")) {
        if (std::sscanf(line.c_str(),
                        "simulated board: position %lld steps, %llu pulses, %llu lost, %u shutter",
                        &b.position, &b.pulses, &b.lost, &b.shots) == 4 ||
            std::sscanf(line.c_str(), "simulated board: %llu counts turned", &b.dcCounts) == 1) {
            b.found = true;
        }
    }
    return b;
}
