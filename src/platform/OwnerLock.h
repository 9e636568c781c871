// A file that a running copy of the program is working on is held with a shared lock for as
// long as it owns it; the lock goes with the process however it ends (a kill too), so another
// copy can tell a live run's file from one that a killed run left behind.
#pragma once

namespace tonvela {

// Marks fd's file as owned by this process until fd is closed. False when the file system
// keeps no locks (the file then never looks abandoned to anyone, see TakeAbandoned).
bool HoldOwnerLock(int fd);
// The same without waiting: false at once when another program holds the file exclusively (a
// file of the user's that an editor or a player has locked).
bool TryHoldOwnerLock(int fd);

enum class OwnerState { Abandoned, Held, Unknown };

// Takes fd's file exclusively when nobody holds it (the lock stays until fd is closed):
// Abandoned then; Held while any process holds it; Unknown when the file system cannot say.
OwnerState TakeAbandoned(int fd);

// The one rule for a leftover of a run (a part file, a name claim, a preview folder's owner
// file), given an open descriptor of it: the owner lock decides wherever the file system keeps
// locks, since a process id can be reused and a run on another machine sharing the folder has
// ids of its own. Where it keeps none, the leftover is abandoned once the process that made it
// (pid; 0 when nothing records one) is gone from this machine and the file has not changed for
// kLeftoverQuietSeconds; without a pid it is never taken for abandoned. An abandoned leftover
// stays locked exclusively until fd is closed.
inline constexpr long kLeftoverQuietSeconds = 60;
bool TakeAbandonedLeftover(int fd, long pid);

}  // namespace tonvela
