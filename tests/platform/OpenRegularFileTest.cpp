// Files the program only reads: a FIFO, a device or a folder in a file's place is refused at
// once with a reason (never a hang), and a regular file is read with blocking reads restored.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/AtomicFile.h"
#include "platform/OpenRegularFile.h"
#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

TEST(OpenRegularFileTest, RefusesWhatIsNotARegularFileWithoutBlocking) {
    test::CTestTempDir dir;
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    test::WriteText(dir / "plain", "hello");
    // A regression would block in open() forever; the alarm turns that into a failure.
    ::alarm(20);
    const struct {
        std::string path;
        const char* why;  // empty: accepted
    } cases[] = {
        {(dir / "fifo").string(), "it is not a regular file"},
        {"/dev/null", "it is not a regular file"},
        {dir.Path().string(), "it is a folder"},
        {(dir / "missing").string(), "No such file or directory"},
        {(dir / "plain").string(), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string why;
        CUniqueFd fd = OpenRegularFile(c.path, &why);
        std::string text, readWhy;
        const bool read = ReadWholeFile(c.path, 1024, text, &readWhy);
        if (*c.why) {
            EXPECT_FALSE(fd.IsOpen());
            EXPECT_EQ(why, c.why);
            EXPECT_FALSE(read);
            EXPECT_EQ(readWhy, c.why);
        } else {
            ASSERT_TRUE(fd.IsOpen());
            EXPECT_EQ(::fcntl(fd.Get(), F_GETFL) & O_NONBLOCK, 0);
            EXPECT_TRUE(read);
            EXPECT_EQ(text, "hello");
        }
    }
    ::alarm(0);
}

}  // namespace
}  // namespace tonvela
