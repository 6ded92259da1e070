// Recording children and reading what they recorded.
#include "app/audio_recording.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

#include "support/wav_file.h"

namespace fs = std::filesystem;

Recording readFloatWave(const fs::path& path) {
    const Wave wave = readWav(path);
    Recording recording;
    recording.rate = wave.sampleRate;
    const std::size_t channels = static_cast<std::size_t>(std::max(wave.channels, 1));
    for (std::size_t i = 0; i + channels <= wave.floats.size(); i += channels)
        recording.left.push_back(wave.floats[i]);
    return recording;
}

double audibleSeconds(const Recording& recording) {
    if (recording.rate == 0) return 0;
    size_t window = static_cast<size_t>(recording.rate / 100);
    int loud = 0;
    for (size_t start = 0; start + window <= recording.left.size(); start += window) {
        double energy = 0;
        for (size_t i = start; i < start + window; ++i)
            energy += recording.left[i] * recording.left[i];
        if (std::sqrt(energy / window) > 0.002) ++loud;
    }
    return loud / 100.0;
}

bool runRecordingChild(const fs::path& folder, const std::string& program,
                       const std::vector<std::string>& arguments) {
    fs::path conf = folder / "alsoft.conf";
    std::ofstream(conf) << "[general]\ndrivers = wave\n[wave]\nfile = "
                        << (folder / "out.wav").string() << "\n";
    fs::remove(folder / "out.wav");
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        setenv("ALSOFT_CONF", conf.c_str(), 1);
        unsetenv("ALSOFT_DRIVERS");
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
