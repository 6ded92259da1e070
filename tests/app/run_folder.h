// A run folder of the game's own: a copy of the generated data/ (so a test
// may remove or replace files) and one world in the list, "test", with a note
// and no world file yet (the game starts it empty).
#pragma once

#include <filesystem>

// The name of the run folder's world: `tessaria --world test` plays it.
constexpr const char* kTestWorld = "test";

class RunFolder {
public:
    RunFolder();
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path worldFolder() const { return path_ / "data/worlds/test"; }
    std::filesystem::path worldFile() const { return worldFolder() / "world.ini"; }

private:
    std::filesystem::path path_;
};
