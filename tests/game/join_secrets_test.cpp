// The kept passwords and name keys: back as written, per server and name,
// and in a file nobody else can read.
#include "game/join_secrets.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "support/temp_folder.h"

namespace {

const char* const kFile = "data/join_secrets";

mode_t modeOf(const char* path) {
    struct stat status {};
    ::stat(path, &status);
    return status.st_mode & 07777;
}

}  // namespace

TEST(JoinSecrets, PasswordsAndKeysComeBackPerServerAndNameInAFileOnlyThePlayerReads) {
    TempFolder folder;
    // An older file that others could read: the next write closes it.
    std::filesystem::create_directory("data");
    std::ofstream(kFile) << "password old:1 x\n";
    ::chmod(kFile, 0644);
    JoinSecrets secrets;
    keepPassword(secrets, "Play.Example:7000", " two words ");
    keepKey(secrets, "play.example:7000", "Ann", "0123456789abcdef0123456789abcdef");
    keepKey(secrets, "127.0.0.1:7777", "ann", "ffffffffffffffffffffffffffffffff");
    keepKey(secrets, "127.0.0.1:7777", "bo", "00000000000000000000000000000000");
    ASSERT_EQ(writeJoinSecrets(kFile, secrets), 0);
    EXPECT_EQ(modeOf(kFile), 0600u);

    const JoinSecrets read = readJoinSecrets(kFile);
    EXPECT_EQ(keptPassword(read, "play.example:7000"), " two words ");
    EXPECT_EQ(keptPassword(read, "127.0.0.1:7777"), "");
    EXPECT_EQ(keptKey(read, "PLAY.example:7000", "ann"), "0123456789abcdef0123456789abcdef");
    EXPECT_EQ(keptKey(read, "127.0.0.1:7777", "ANN"), "ffffffffffffffffffffffffffffffff");
    EXPECT_EQ(keptKey(read, "127.0.0.1:7777", "bo"), "00000000000000000000000000000000");
    EXPECT_EQ(keptKey(read, "127.0.0.1:7778", "bo"), "");

    // A password cleared in the panel is forgotten; the keys stay.
    JoinSecrets changed = read;
    keepPassword(changed, "play.example:7000", "");
    ASSERT_EQ(writeJoinSecrets(kFile, changed), 0);
    const JoinSecrets again = readJoinSecrets(kFile);
    EXPECT_TRUE(again.passwords.empty());
    EXPECT_EQ(again.keys.size(), 3u);
    EXPECT_EQ(modeOf(kFile), 0600u);
}
