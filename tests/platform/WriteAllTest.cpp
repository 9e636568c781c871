// The one write contract: how much reached the file and why it stopped.
#include "platform/WriteAll.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/TestTempDir.h"
#include "platform/UniqueFd.h"

namespace tonvela {
namespace {

std::atomic<int> interrupts{0};

TEST(WriteAll, ReportsBytesAndTheError) {
    test::CTestTempDir dir;
    const std::string data(300000, 'x');  // more than a pipe or one write may take at once
    const std::string path = (dir.Path() / "f").string();
    {
        CUniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        ASSERT_TRUE(fd.IsOpen());
        const WriteResult r = WriteAll(fd.Get(), data.data(), data.size());
        EXPECT_TRUE(r);
        EXPECT_EQ(r.written, data.size());
        EXPECT_EQ(r.error, 0);
    }
    EXPECT_EQ(std::filesystem::file_size(path), data.size());

    // A full disk: nothing written, ENOSPC reported, false.
    CUniqueFd full(::open("/dev/full", O_WRONLY | O_CLOEXEC));
    ASSERT_TRUE(full.IsOpen());
    const WriteResult f = WriteAll(full.Get(), data.data(), data.size());
    EXPECT_FALSE(f);
    EXPECT_EQ(f.written, 0u);
    EXPECT_EQ(f.error, ENOSPC);

    // A descriptor open for reading only.
    CUniqueFd readOnly(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    const WriteResult b = WriteAll(readOnly.Get(), data.data(), 1);
    EXPECT_FALSE(b);
    EXPECT_EQ(b.error, EBADF);

    // Signals while the write waits on a full pipe: each interrupted write is taken up again.
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    CUniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    struct sigaction onSignal {}, old {};
    onSignal.sa_handler = [](int) { ++interrupts; };  // no SA_RESTART: a waiting write fails with EINTR
    ASSERT_EQ(::sigaction(SIGUSR1, &onSignal, &old), 0);
    interrupts = 0;
    const pthread_t writer = ::pthread_self();
    std::size_t got = 0;
    std::thread reader([&] {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        const int capacity = ::fcntl(readEnd.Get(), F_GETPIPE_SZ);
        int queued = 0;
        while (::ioctl(readEnd.Get(), FIONREAD, &queued) == 0 && queued < capacity && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        for (int i = 0; i < 5; ++i) {
            const int before = interrupts;
            ::pthread_kill(writer, SIGUSR1);
            while (interrupts == before && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        }
        std::vector<char> buffer(65536);
        for (ssize_t n; (n = ::read(readEnd.Get(), buffer.data(), buffer.size())) > 0;) got += static_cast<std::size_t>(n);
    });
    const WriteResult p = WriteAll(writeEnd.Get(), data.data(), data.size());
    writeEnd.Reset();  // the reader sees the end
    reader.join();
    ::sigaction(SIGUSR1, &old, nullptr);
    EXPECT_EQ(interrupts, 5);
    EXPECT_TRUE(p);
    EXPECT_EQ(p.written, data.size());
    EXPECT_EQ(got, data.size());
}

}  // namespace
}  // namespace tonvela
