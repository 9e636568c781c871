#include "platform/ThreadStarter.h"

#include <system_error>

namespace tonvela {

std::jthread StartThread(std::function<void()> body) { return std::jthread(std::move(body)); }

std::vector<std::jthread> StartThreads(std::size_t count, const std::function<void(std::size_t)>& body,
                                       const ThreadStarter& start) {
    std::vector<std::jthread> threads;
    threads.reserve(count);  // a started thread is never lost to a failed reallocation
    for (std::size_t i = 0; i < count; ++i) {
        try {
            std::function<void()> run = [body, i] { body(i); };  // body may be a temporary of the caller
            threads.push_back(start ? start(std::move(run)) : StartThread(std::move(run)));
        } catch (const std::system_error&) {
            break;
        }
    }
    return threads;
}

}  // namespace tonvela
