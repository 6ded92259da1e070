// The server's rooms on their own: the console's reading of a typed line,
// and the store's records (their key line, and which text of a record a
// save that settles late may keep).
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "server/console.h"
#include "server/store.h"

namespace {

using server::Clock;

TEST(ServerConsole, ATypedLineSplitsIntoItsVerbAndItsWordsAndForgetTakesOnlyDrop) {
    const server::ConsoleLine kick = server::splitConsoleLine("kick  bob \r");
    EXPECT_EQ(kick.verb, "kick");
    EXPECT_EQ(kick.rest, "bob");  // a name typed with blanks after it is still that name
    const server::ConsoleLine say = server::splitConsoleLine("\tsay  hello   all \t");
    EXPECT_EQ(say.verb, "say");
    EXPECT_EQ(say.rest, "hello   all");
    EXPECT_EQ(server::splitConsoleLine("stats").rest, "");
    EXPECT_EQ(server::splitConsoleLine("  \r").verb, "");

    std::string name;
    bool drop = true;
    EXPECT_TRUE(server::parseForget("Bob", name, drop));
    EXPECT_EQ(name, "Bob");
    EXPECT_FALSE(drop);
    EXPECT_TRUE(server::parseForget("bob drop", name, drop));
    EXPECT_TRUE(drop);
    EXPECT_FALSE(server::parseForget("bob dropped", name, drop));
    EXPECT_FALSE(server::parseForget("", name, drop));

    // The owner's undo verbs take whole numbers in range and nothing after them.
    int x = 0, y = 0, minutes = 0, which = -1;
    EXPECT_TRUE(server::parseHistory(" 12 299 ", x, y));
    EXPECT_EQ(x * 1000 + y, 12299);
    for (const char* bad : {"12", "12 300", "-1 4", "1 2 3", "1 x"})
        EXPECT_FALSE(server::parseHistory(bad, x, y)) << bad;
    EXPECT_TRUE(server::parseRollback("Bob 30", name, minutes));
    EXPECT_EQ(name + " " + std::to_string(minutes), "Bob 30");
    for (const char* bad : {"Bob", "Bob 0", "Bob 30 more", "30", "Bob -5"})
        EXPECT_FALSE(server::parseRollback(bad, name, minutes)) << bad;
    EXPECT_TRUE(server::parseRestore("", which));
    EXPECT_EQ(which, 0);  // the list
    EXPECT_TRUE(server::parseRestore("3", which));
    EXPECT_EQ(which, 3);
    EXPECT_FALSE(server::parseRestore("0", which));
    EXPECT_FALSE(server::parseRestore("1 2", which));
}

TEST(ServerStore, ARecordsKeyLineIsReadWhenWellFormedAndTakenAwayAlone) {
    const std::string hash(64, 'a');
    const std::string record = "x = 3\nkey_sha256 = " + hash + "\ny = 4\n";
    EXPECT_EQ(server::hashIn(record), hash);
    EXPECT_EQ(server::hashIn("x = 3\n"), "");  // nobody has claimed it yet
    // A key line spoilt by hand opens for no key, not for every key.
    EXPECT_EQ(server::hashIn("key_sha256 = " + std::string(63, 'a') + "\n"), "spoilt");
    EXPECT_EQ(server::hashIn("key_sha256 = " + std::string(64, 'A') + "\n"), "spoilt");
    EXPECT_EQ(server::hashIn("key_sha256 " + hash + "\n"), "spoilt");
    EXPECT_EQ(server::withoutKey(record), "x = 3\ny = 4\n");
}

server::SaveOutcome outcome(const std::string& failure, std::vector<server::RecordWrite> unwritten,
                            std::vector<server::RecordWrite> written) {
    server::SaveOutcome result;
    result.failure = failure;
    result.unwritten = std::move(unwritten);
    result.written = std::move(written);
    return result;
}

struct StoreFixture {
    std::filesystem::path folder;
    server::Peers peers;
    std::vector<std::string> lines;
    server::Store store{[this](const std::string& line) { lines.push_back(line); }, peers};

    StoreFixture() {
        std::string name = (std::filesystem::temp_directory_path() / "store-XXXXXX").string();
        folder = ::mkdtemp(name.data());
        store.setFolder(folder.string());
    }
    ~StoreFixture() { std::filesystem::remove_all(folder); }
};

TEST(ServerStore, ASaveThatSettlesLateNeverPutsBackAnOlderTextOfARecord) {
    StoreFixture f;
    const auto now = Clock::now();
    const std::string path = f.store.recordPath("Bob");

    // Written while a newer text waited: the newer one still goes with the next save.
    const server::RecordWrite first = f.store.issue(path, "first\n");
    f.store.keep(first);
    const server::RecordWrite second = f.store.issue(path, "second\n");
    f.store.keep(second);
    f.store.settle(outcome("", {}, {first}), now);
    EXPECT_EQ(f.store.storedRecord(path).value_or("none"), "second\n");
    f.store.settle(outcome("", {}, {second}), now);
    EXPECT_EQ(f.store.storedRecord(path).value_or("none"), "second\n");

    // A failed write of an old text is not tried again once a newer one was handed out.
    const server::RecordWrite third = f.store.issue(path, "third\n");
    const server::RecordWrite fourth = f.store.issue(path, "fourth\n");
    f.store.settle(outcome("saving failed", {third}, {}), now);
    EXPECT_EQ(f.store.storedRecord(path).value_or("none"), "second\n");
    // The newest one that failed is.
    f.store.settle(outcome("saving failed", {fourth}, {}), now);
    EXPECT_EQ(f.store.storedRecord(path).value_or("none"), "fourth\n");
    EXPECT_EQ(f.store.saveJob(false).records.size(), 1u);
}

}  // namespace
