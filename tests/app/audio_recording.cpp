// Recording children and reading what they recorded.
#include "app/audio_recording.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

Recording readFloatWave(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Recording recording;
    auto u32 = [&](size_t at) {
        std::uint32_t v;
        std::memcpy(&v, &bytes[at], 4);
        return v;
    };
    size_t at = 12;
    int channels = 2;
    while (at + 8 <= bytes.size()) {
        std::string id(&bytes[at], 4);
        std::uint32_t size = u32(at + 4);
        if (id == "fmt " && at + 16 <= bytes.size()) {
            std::uint16_t count;
            std::memcpy(&count, &bytes[at + 10], 2);
            channels = count;
            recording.rate = static_cast<int>(u32(at + 12));
        } else if (id == "data") {
            // A writer cut short leaves the size unset: read to the end.
            size_t end = std::min(bytes.size(), at + 8 + static_cast<size_t>(size));
            if (size == 0) end = bytes.size();
            for (size_t p = at + 8; p + 4 * channels <= end; p += 4 * channels) {
                float value;
                std::memcpy(&value, &bytes[p], 4);
                recording.left.push_back(value);
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return recording;
}

double audibleSeconds(const Recording& recording) {
    if (recording.rate == 0) return 0;
    size_t window = static_cast<size_t>(recording.rate / 100);
    int loud = 0;
    for (size_t start = 0; start + window <= recording.left.size(); start += window) {
        double energy = 0;
        for (size_t i = start; i < start + window; ++i) energy += recording.left[i] * recording.left[i];
        if (std::sqrt(energy / window) > 0.002) ++loud;
    }
    return loud / 100.0;
}

bool runRecordingChild(const fs::path& folder, const std::string& childTest,
                       const std::vector<std::string>& environment) {
    fs::path conf = folder / "alsoft.conf";
    std::ofstream(conf) << "[general]\ndrivers = wave\n[wave]\nfile = " << (folder / "out.wav").string()
                        << "\n";
    fs::remove(folder / "out.wav");
    pid_t child = fork();
    if (child == 0) {
        setenv("ALSOFT_CONF", conf.c_str(), 1);
        unsetenv("ALSOFT_DRIVERS");
        for (const std::string& entry : environment) putenv(strdup(entry.c_str()));
        std::string filter = "--gtest_filter=" + childTest;
        execl("/proc/self/exe", "recording-child", filter.c_str(), "--gtest_also_run_disabled_tests",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
