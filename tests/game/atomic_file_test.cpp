// The atomic file store and the world lock, where several processes, links
// and the player's umask meet one folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "game/atomic_file.h"
#include "game/world_lock.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

mode_t modeOf(const std::string& path) {
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

class AtomicFile : public ::testing::Test {
protected:
    TempFolder folder;
};

// Each save's sweep of stale temporaries once removed the other process's
// temporary in the middle of its write.
TEST_F(AtomicFile, TwoProcessesSavingIntoOneFolderNeverBreakEachOthersSaves) {
    const std::string text(160000, 'w');
    pid_t children[2];
    for (pid_t& child : children) {
        child = ::fork();
        if (child == 0) {
            int failed = 0;
            for (int n = 0; n < 400; ++n) failed += replaceFile("data/world.ini", text, false) != 0;
            ::_exit(failed > 100 ? 100 : failed);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed saves";
    }
    EXPECT_EQ(readText("data/world.ini"), text);
    EXPECT_EQ(std::distance(fs::directory_iterator("data"), fs::directory_iterator()), 1);
}

// The link stays a link to the file where the player keeps it (another
// drive, say), and the backup lands beside that file.
TEST_F(AtomicFile, AFileThatIsALinkIsReplacedThroughItAndBackedUpBesideItsTarget) {
    writeText("elsewhere/world.ini", "old");
    fs::create_directories("data");
    fs::create_symlink("../elsewhere/world.ini", "data/world.ini");
    ASSERT_EQ(backUpFile("data/world.ini", true), 0);
    ASSERT_EQ(replaceFile("data/world.ini", "new", true), 0);
    EXPECT_TRUE(fs::is_symlink("data/world.ini"));
    EXPECT_EQ(readText("elsewhere/world.ini"), "new");
    EXPECT_EQ(readText("elsewhere/world.ini.bak"), "old");
    EXPECT_FALSE(fs::exists(fs::symlink_status("data/world.ini.bak")));
}

// Links standing at every name the sweep looks at, and at the backup's name:
// nothing is written through them and the sweep leaves what it did not make.
TEST_F(AtomicFile, LinksPlantedAtTheTemporaryAndBackupNamesAreNeitherFollowedNorRemoved) {
    writeText("victim", "not a world");
    writeText("data/world.ini", "old");
    const char* planted[] = {"data/world.ini.tmp", "data/world.ini.tmp.backup",
                             "data/world.ini.tmp.Zq81xA"};
    for (const char* name : planted) fs::create_symlink("../victim", name);
    fs::create_symlink("../victim", "data/world.ini.bak");
    ASSERT_EQ(backUpFile("data/world.ini", true), 0);
    ASSERT_EQ(replaceFile("data/world.ini", "new", true), 0);
    EXPECT_EQ(readText("victim"), "not a world");
    EXPECT_FALSE(fs::is_symlink("data/world.ini"));
    for (const char* name : planted) EXPECT_TRUE(fs::is_symlink(name)) << name;
    EXPECT_FALSE(fs::is_symlink("data/world.ini.bak"));
    EXPECT_EQ(readText("data/world.ini.bak"), "old");
}

TEST_F(AtomicFile, NewFilesFollowTheUmaskReplacedOnesKeepTheirModeFoldersAreThePlayers) {
    const mode_t previous = ::umask(077);
    EXPECT_EQ(replaceFile("share/tessaria/world/world.ini", "a", true), 0);
    EXPECT_EQ(modeOf("share/tessaria/world/world.ini"), 0600u);
    ::umask(022);
    EXPECT_EQ(replaceFile("share/settings.ini", "b", true), 0);
    ::umask(previous);
    EXPECT_EQ(modeOf("share/settings.ini"), 0644u);
    EXPECT_EQ(modeOf("share/tessaria"), 0700u);
    ::chmod("share/settings.ini", 0640);
    EXPECT_EQ(replaceFile("share/settings.ini", "c", true), 0);
    EXPECT_EQ(modeOf("share/settings.ini"), 0640u);
}

TEST(WorldLockTest, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
    TempFolder folder;
    WorldLock first, second;
    ASSERT_EQ(first.take("data/world"), WorldLock::Outcome::Taken);
    EXPECT_TRUE(fs::exists("data/world/world.lock"));
    EXPECT_EQ(second.take("data/world"), WorldLock::Outcome::HeldElsewhere);
    EXPECT_FALSE(second.held());
    first.release();
    EXPECT_EQ(second.take("data/world"), WorldLock::Outcome::Taken);
}

}  // namespace
