#include "platform/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/UniqueFd.h"

extern char** environ;

namespace tonvela {

namespace {

class CSpawnActions {
public:
    CSpawnActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
    ~CSpawnActions() {
        if (ok_) posix_spawn_file_actions_destroy(&actions_);
    }
    CSpawnActions(const CSpawnActions&) = delete;
    CSpawnActions& operator=(const CSpawnActions&) = delete;
    bool Ok() const { return ok_; }
    posix_spawn_file_actions_t* Get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

// Spawns argv with stdin and stderr on /dev/null and stdout on outFd (or /dev/null when -1).
pid_t Spawn(const std::vector<std::string>& argv, int outFd) {
    if (argv.empty() || argv[0].empty()) return -1;
    CSpawnActions actions;
    if (!actions.Ok()) return -1;
    if (posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0) != 0) return -1;
    if (posix_spawn_file_actions_addopen(actions.Get(), 2, "/dev/null", O_WRONLY, 0) != 0) return -1;
    int rc = outFd >= 0 ? posix_spawn_file_actions_adddup2(actions.Get(), outFd, 1)
                        : posix_spawn_file_actions_addopen(actions.Get(), 1, "/dev/null", O_WRONLY, 0);
    if (rc != 0) return -1;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], actions.Get(), nullptr, args.data(), environ) != 0) return -1;
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int RunProgram(const std::vector<std::string>& argv, std::string* output, std::size_t maxOutput) {
    if (!output) {
        pid_t pid = Spawn(argv, -1);
        return pid < 0 ? -1 : Wait(pid);
    }
    output->clear();
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
    CUniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    pid_t pid = Spawn(argv, writeEnd.Get());
    writeEnd.Reset();
    if (pid < 0) return -1;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(readEnd.Get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::size_t room = maxOutput - std::min(maxOutput, output->size());
        output->append(buf, std::min(room, static_cast<std::size_t>(n)));  // keep draining
    }
    return Wait(pid);
}

int RunProgramWithin(const std::vector<std::string>& argv, int timeoutMs) {
    pid_t pid = Spawn(argv, -1);
    if (pid < 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (r < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::thread([pid] { Wait(pid); }).detach();
    return kStillRunning;
}

bool StartProgram(const std::vector<std::string>& argv) {
    pid_t pid = Spawn(argv, -1);
    if (pid < 0) return false;
    std::thread([pid] { Wait(pid); }).detach();
    return true;
}

}  // namespace tonvela
