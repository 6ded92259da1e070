// Copying the build's generated data into a private temporary folder.
#include "app/run_folder.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>
#include <string>

namespace fs = std::filesystem;

namespace {

fs::path makeTempFolder(const char* prefix) {
    std::string pattern = (fs::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return pattern;
}

}  // namespace

RunFolder::RunFolder() : path_(makeTempFolder("tessaria-run-")) {
    fs::copy(fs::path(TESSARIA_RUN_DIR) / "data", path_ / "data",
             fs::copy_options::recursive | fs::copy_options::skip_symlinks);
    fs::remove_all(path_ / "data/world");
    fs::remove_all(path_ / "data/worlds");
    fs::create_directories(worldFolder());
    std::ofstream(worldFolder() / "world.meta") << "name = " << kTestWorld << "\nkind = empty\n";
}

RunFolder::~RunFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}
