// The one write contract: how much reached the file and why it stopped.
#include "platform/WriteAll.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "platform/TestTempDir.h"
#include "platform/UniqueFd.h"

namespace tonvela {
namespace {

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
}

}  // namespace
}  // namespace tonvela
