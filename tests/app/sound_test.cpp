// Sound effects for real: the sample cache over OpenAL Soft's null back end,
// and what is actually heard, recorded through its wave back end.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_acodec.h>
#include <allegro5/allegro_audio.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <filesystem>
#include <fstream>
#include <vector>

#include "app/e2e_harness.h"
#include "app/sound.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kThunder = "data/sfx/sfx002.wav";
constexpr const char* kHurt = "data/sfx/sfx031.wav";

class SampleCacheTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("ALSOFT_DRIVERS", "null", 1);
        ASSERT_TRUE(al_init());
        ASSERT_TRUE(al_install_audio());
        ASSERT_TRUE(al_init_acodec_addon());
        ASSERT_TRUE(al_reserve_samples(1));
    }
    static void TearDownTestSuite() {
        releaseSamples();
        al_uninstall_audio();
    }
    void SetUp() override {
        releaseSamples();
        previous = fs::current_path();
        fs::current_path(folder.path());
    }
    void TearDown() override { fs::current_path(previous); }

    RunFolder folder;
    fs::path previous;
};

TEST_F(SampleCacheTest, TheFirstRequestLoadsTheFileAndLaterOnesUseTheCache) {
    ASSERT_TRUE(playSound(kHurt));
    ALLEGRO_SAMPLE* first = sampleCache.samples.at(kHurt);
    // Gone from disk, the sample is still there: nothing is loaded again.
    fs::remove(kHurt);
    EXPECT_TRUE(playSound(kHurt));
    EXPECT_EQ(getSample(kHurt), first);
    EXPECT_EQ(sampleCache.samples.size(), 1u);
}

TEST_F(SampleCacheTest, AMissingFileIsNotRememberedSoTheNextRequestTriesAgain) {
    fs::path moved = "moved.wav";
    fs::rename(kHurt, moved);
    EXPECT_FALSE(playSound(kHurt));
    EXPECT_FALSE(playSound(kHurt));
    EXPECT_TRUE(sampleCache.samples.empty());
    fs::rename(moved, kHurt);
    EXPECT_TRUE(playSound(kHurt));
    EXPECT_EQ(sampleCache.samples.size(), 1u);
}

TEST_F(SampleCacheTest, WithAllSoundFilesMissingEveryRequestIsSilentlyRefused) {
    fs::remove_all("data/sfx");
    for (const char* name : {kThunder, kHurt, "data/sfx/sfx042.wav"}) EXPECT_FALSE(playSound(name));
    EXPECT_TRUE(sampleCache.samples.empty());
}

// --- What is heard, recorded by OpenAL Soft's wave writer in a child process.

struct Recording {
    std::vector<float> left;  // the left channel of the float32 stereo stream
    int rate = 0;
};

Recording readFloatWave(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Recording recording;
    if (bytes.size() < 44) return recording;
    auto u32 = [&](size_t at) {
        std::uint32_t v;
        std::memcpy(&v, &bytes[at], 4);
        return v;
    };
    // Walk the chunks: "fmt " for the rate, "data" for the samples.
    size_t at = 12;
    int channels = 2;
    while (at + 8 <= bytes.size()) {
        std::string id(&bytes[at], 4);
        std::uint32_t size = u32(at + 4);
        if (id == "fmt ") {
            std::uint16_t ch;
            std::memcpy(&ch, &bytes[at + 10], 2);
            channels = ch;
            recording.rate = static_cast<int>(u32(at + 12));
        } else if (id == "data") {
            size_t end = std::min(bytes.size(), at + 8 + static_cast<size_t>(size));
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

// Seconds of the recording in which something sounds (10 ms windows).
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

double sampleSeconds(const char* name) {
    ALLEGRO_SAMPLE* sample = al_load_sample(name);
    double seconds = sample ? double(al_get_sample_length(sample)) / al_get_sample_frequency(sample) : 0;
    if (sample) al_destroy_sample(sample);
    return seconds;
}

// Plays the given requests in a child whose OpenAL writes everything it mixes
// to a wave file, then waits long enough for them to finish; the child's exit
// status says whether the second request found a free voice (1) or not (0).
int recordRequests(const fs::path& folder, std::vector<const char*> names, double seconds) {
    fs::path conf = folder / "alsoft.conf";
    std::ofstream(conf) << "[general]\ndrivers = wave\n[wave]\nfile = " << (folder / "out.wav").string()
                        << "\n";
    pid_t child = fork();
    if (child == 0) {
        setenv("ALSOFT_CONF", conf.c_str(), 1);
        unsetenv("ALSOFT_DRIVERS");
        if (!al_install_audio() || !al_reserve_samples(1)) _exit(3);
        bool secondPlayed = false;
        for (size_t i = 0; i < names.size(); ++i) {
            ALLEGRO_SAMPLE* sample = getSample(names[i]);
            if (sample == nullptr) _exit(4);
            bool played = al_play_sample(sample, 1.0f, ALLEGRO_AUDIO_PAN_NONE, 1.0f,
                                         ALLEGRO_PLAYMODE_ONCE, nullptr);
            if (i == 1) secondPlayed = played;
        }
        al_rest(seconds);
        releaseSamples();
        al_uninstall_audio();  // finishes the wave header
        _exit(secondPlayed ? 1 : 0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(SampleCacheTest, OneVoiceMeansAHurtRequestDuringTheThunderIsNotHeard) {
    double thunder = sampleSeconds(kThunder);
    double hurt = sampleSeconds(kHurt);
    ASSERT_GT(thunder, hurt);
    releaseSamples();
    al_uninstall_audio();  // the child installs its own back end

    EXPECT_EQ(recordRequests(folder.path(), {kHurt}, hurt + 0.5), 0);
    double hurtHeard = audibleSeconds(readFloatWave(folder.path() / "out.wav"));
    EXPECT_GT(hurtHeard, 0.5 * hurt);

    EXPECT_EQ(recordRequests(folder.path(), {kThunder, kHurt}, thunder + 0.5), 0)
        << "the hurt request found a second voice";
    double heard = audibleSeconds(readFloatWave(folder.path() / "out.wav"));
    EXPECT_GT(heard, 0.5 * thunder);
    EXPECT_LT(heard, thunder + 0.1);

    ASSERT_TRUE(al_install_audio());
    ASSERT_TRUE(al_reserve_samples(1));
}

}  // namespace
