// Starting other programs: always posix_spawnp with an argument vector, never through a shell,
// so file names reach the program as they are.
#pragma once

#include <string>
#include <vector>

namespace tonvela {

// Runs argv[0] (searched in PATH) and waits for it. stdin is /dev/null; stdout goes to *output
// when given (at most maxOutput bytes kept), else to /dev/null; stderr to /dev/null.
// Returns the exit status, or -1 when it could not be started or did not exit normally.
int RunProgram(const std::vector<std::string>& argv, std::string* output = nullptr,
               std::size_t maxOutput = 65536);

// RunProgram's result when the program still runs after the time given to RunProgramWithin.
inline constexpr int kStillRunning = -2;

// Runs argv[0] (stdin, stdout and stderr on /dev/null) and waits at most timeoutMs for it.
// Returns its exit status, -1 when it could not be started or was killed by a signal, or
// kStillRunning when it is still running (it is then reaped in the background).
int RunProgramWithin(const std::vector<std::string>& argv, int timeoutMs);

// Starts argv[0] without waiting for it (a viewer the user closes later); a helper thread
// reaps it when it ends. False when it could not be started.
bool StartProgram(const std::vector<std::string>& argv);

}  // namespace tonvela
