// Starting worker threads when the system may refuse some (EAGAIN under a process limit).
#pragma once

#include <functional>
#include <thread>
#include <vector>

namespace tonvela {

// Starts body on a new thread; throws std::system_error when the system cannot. Tests pass
// their own to make starting fail where they choose.
using ThreadStarter = std::function<std::jthread(std::function<void()>)>;

std::jthread StartThread(std::function<void()> body);

// Starts up to count threads running body(i) for i = 0, 1, ..., stopping at the first the system refuses: the
// caller goes on with those that started (possibly none). start empty: StartThread.
std::vector<std::jthread> StartThreads(std::size_t count, const std::function<void(std::size_t)>& body,
                                       const ThreadStarter& start = {});

}  // namespace tonvela
