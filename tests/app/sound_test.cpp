// Sound effects for real: the sample cache over OpenAL Soft's null back end,
// and what is actually heard, recorded through its wave back end.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
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

#include "app/audio_recording.h"
#include "app/e2e_harness.h"
#include "app/sound.h"
#include "app/startup.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kThunder = "data/sfx/sfx002.wav";
constexpr const char* kHurt = "data/sfx/sfx031.wav";

class SampleCacheTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("ALSOFT_DRIVERS", "null", 1);
        ASSERT_TRUE(al_init());
        ASSERT_TRUE(installAudio());
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

// --- What is heard, recorded through OpenAL Soft's wave writer.

double sampleSeconds(const char* name) {
    ALLEGRO_SAMPLE* sample = al_load_sample(name);
    double seconds = sample ? double(al_get_sample_length(sample)) / al_get_sample_frequency(sample) : 0;
    if (sample) al_destroy_sample(sample);
    return seconds;
}

// The child: plays the requests of TESSARIA_REQUESTS (names joined by ','),
// waits TESSARIA_WAIT seconds for them to sound, and fails when the second
// request found a free voice.
TEST(SoundChild, DISABLED_PlaysRequestsOnOneVoice) {
    ASSERT_TRUE(al_init());
    ASSERT_TRUE(installAudio());
    std::string requests = std::getenv("TESSARIA_REQUESTS");
    std::vector<std::string> names;
    for (size_t at = 0; at <= requests.size();) {
        size_t comma = std::min(requests.find(',', at), requests.size());
        names.push_back(requests.substr(at, comma - at));
        at = comma + 1;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        ALLEGRO_SAMPLE* sample = getSample(names[i]);
        ASSERT_NE(sample, nullptr) << names[i];
        bool played = al_play_sample(sample, 1.0f, ALLEGRO_AUDIO_PAN_NONE, 1.0f,
                                     ALLEGRO_PLAYMODE_ONCE, nullptr);
        EXPECT_EQ(played, i == 0) << names[i];
    }
    al_rest(std::atof(std::getenv("TESSARIA_WAIT")));
    releaseSamples();
    al_uninstall_audio();  // finishes the wave header
}

TEST_F(SampleCacheTest, OneVoiceMeansAHurtRequestDuringTheThunderIsNotHeard) {
    double thunder = sampleSeconds(kThunder);
    double hurt = sampleSeconds(kHurt);
    ASSERT_GT(thunder, hurt);
    auto record = [&](const std::string& requests, double seconds) {
        EXPECT_TRUE(runRecordingChild(folder.path(), "SoundChild.DISABLED_PlaysRequestsOnOneVoice",
                                      {"TESSARIA_REQUESTS=" + requests,
                                       "TESSARIA_WAIT=" + std::to_string(seconds)}))
            << requests;
        return audibleSeconds(readFloatWave(folder.path() / "out.wav"));
    };
    double hurtHeard = record(kHurt, hurt + 0.4);
    EXPECT_GT(hurtHeard, 0.5 * hurt);
    EXPECT_LT(hurtHeard, hurt + 0.1);
    double heard = record(std::string(kThunder) + "," + kHurt, thunder + 0.4);
    EXPECT_GT(heard, 0.5 * thunder);
    EXPECT_LT(heard, thunder + 0.1);
}

// The child: an effect, silence until the voice rests, the same effect again.
TEST(SoundChild, DISABLED_PlaysAgainAfterTheVoiceRested) {
    ASSERT_TRUE(al_init());
    ASSERT_TRUE(installAudio());
    const double hurt = sampleSeconds(kHurt);
    ASSERT_TRUE(playSound(kHurt));
    al_rest(hurt + 0.5);
    quietIdleVoice();
    EXPECT_FALSE(al_get_voice_playing(al_get_default_voice())) << "the voice runs in silence";
    ASSERT_TRUE(playSound(kHurt));
    al_rest(hurt + 0.5);
    releaseSamples();
    al_uninstall_audio();
}

TEST_F(SampleCacheTest, AnEffectAfterTheVoiceRestedIsHeardLikeTheFirst) {
    const double hurt = sampleSeconds(kHurt);
    ASSERT_TRUE(
        runRecordingChild(folder.path(), "SoundChild.DISABLED_PlaysAgainAfterTheVoiceRested", {}));
    // More than one effect can sound: both were heard.
    EXPECT_GT(audibleSeconds(readFloatWave(folder.path() / "out.wav")), hurt + 0.1);
}

}  // namespace
