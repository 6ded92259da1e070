// Screenshots named like 2024-05-01_18-30-05.png; a second one in the same
// second becomes 2024-05-01_18-30-05-2.png.
#include "app/screenshot.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

#include "game/paths.h"

namespace {

std::string dateAndTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local = {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d_%H-%M-%S", &local);
    return text;
}

// Creates the file under the first free name, so that no other picture is
// ever overwritten; "" with errno set when none could be made.
std::string claimName(const std::string& stem) {
    for (int copy = 1; copy < 1000; ++copy) {
        const std::string name = stem + (copy > 1 ? "-" + std::to_string(copy) : "") + ".png";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

bool fail(const std::string& what, const std::string& why) {
    std::fprintf(stderr, "Tessaria: cannot save a screenshot in %s: %s\n", what.c_str(),
                 why.c_str());
    return false;
}

}  // namespace

bool saveScreenshot(ALLEGRO_BITMAP* picture, std::string* savedName) {
    const std::string folder = screenshotFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) return fail(folder, error.message());
    const std::string name = claimName(folder + "/" + dateAndTime());
    if (name.empty()) return fail(folder, std::strerror(errno));
    if (!al_save_bitmap(name.c_str(), picture)) {
        ::unlink(name.c_str());
        return fail(folder, "the picture could not be written as " + name);
    }
    if (savedName != nullptr) *savedName = std::filesystem::path(name).filename().string();
    return true;
}
