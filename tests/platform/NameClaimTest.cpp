#include "platform/NameClaim.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "platform/TestTempDir.h"

namespace tonvela {
namespace {

using test::CTestTempDir;

// A run killed at any moment of claiming a name leaves either no file or a claim that the next
// run recognises as abandoned, never an empty file that counts as a person's. A child claims and
// releases one name without pause and is killed after a random wait, many times over.
TEST(NameClaim, AKillAtAnyMomentLeavesNothingOrAnAbandonedClaim) {
    CTestTempDir dir;
    const std::string name = (dir / "a.swf").string();
    std::mt19937 rng(12345);
    int claimsLeft = 0;
    for (int round = 0; round < 300; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            bool told = false;
            for (;;) {
                CNameClaims claims;
                std::string failed;
                if (claims.Claim({name}, failed) != ClaimResult::Claimed) ::_exit(2);
                if (!told) told = ::write(ready[1], "x", 1) == 1;
            }
        }
        ::close(ready[1]);
        char c;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::usleep(std::uniform_int_distribution<int>(0, 200)(rng));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;
        if (std::filesystem::exists(name)) {
            ASSERT_TRUE(RemoveAbandonedClaim(name)) << "round " << round << ": an unrecognised empty file";
            ++claimsLeft;
        }
    }
    // The kills fell while claims were held, too: the rounds saw both outcomes.
    EXPECT_GT(claimsLeft, 0);
    EXPECT_FALSE(std::filesystem::exists(name));
}

}  // namespace
}  // namespace tonvela
