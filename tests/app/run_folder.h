// A run folder of the game's own: a copy of the generated data/ (so a test
// may remove or replace files) and an empty data/world/.
#pragma once

#include <filesystem>

class RunFolder {
public:
    RunFolder();
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path worldFile() const { return path_ / "data/world/world.ini"; }

private:
    std::filesystem::path path_;
};
