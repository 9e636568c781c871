// Standard output that could not be written is an error of the run, as in the core
// utilities: a full disk, /dev/full or a closed stdout must not pass for success.
#pragma once

#include <string>

namespace tonvela {

// Gives every standard stream that is closed a descriptor that refuses writes (/dev/null
// opened for reading), so that no file the program opens later takes number 0, 1 or 2 and
// receives the report by mistake. Call first thing.
void GuardStandardStreams();

// Flushes std::cout and closes standard output. False when any write to it failed or the
// close does; error then holds the reason when it is known.
bool CloseStdout(std::string& error);

}  // namespace tonvela
