// SIGINT and SIGTERM for a command-line run. The first asks the run to stop: Interrupted()
// turns true, and the run cancels what it has in hand, removes it and ends. Should the run
// still be going a second later (stuck where nothing looks at the flag), it is ended then;
// a further signal ends it at once. Either way the exit status is 128 + the first signal.
#pragma once

#include <atomic>

namespace tonvela {

// Installs the handlers (they stay for every signal, not for the first only) and the thread
// that keeps the one-second promise. Call once, before the work starts.
void InstallInterruptHandling();

// Set by the first SIGINT or SIGTERM; for cancel checks and the decoders' interrupt callback.
const std::atomic<bool>& InterruptFlag();
bool Interrupted();
// The exit status that says the run was interrupted (130 for SIGINT, 143 for SIGTERM); 0
// when it was not.
int InterruptExitStatus();

}  // namespace tonvela
