// A fresh empty folder that becomes the working directory for one test, so
// the game's fixed data/ paths land in it; removed again afterwards.
#pragma once

#include <unistd.h>

#include <filesystem>

#include "support/files.h"

class TempFolder {
public:
    TempFolder() : previous_(std::filesystem::current_path()) {
        char pattern[] = "/tmp/tessaria-world-XXXXXX";
        path_ = ::mkdtemp(pattern);
        std::filesystem::current_path(path_);
    }
    ~TempFolder() {
        std::filesystem::current_path(previous_);
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};
