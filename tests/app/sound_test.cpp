// Sound effects for real: the sample cache over OpenAL Soft's null back end,
// and what is actually heard, recorded through its wave back end by a child
// program (sound_child.cpp).
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_audio.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/audio_recording.h"
#include "app/run_folder.h"
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
    double seconds =
        sample ? double(al_get_sample_length(sample)) / al_get_sample_frequency(sample) : 0;
    if (sample) al_destroy_sample(sample);
    return seconds;
}

TEST_F(SampleCacheTest, OneVoiceMeansAHurtRequestDuringTheThunderIsNotHeard) {
    double thunder = sampleSeconds(kThunder);
    double hurt = sampleSeconds(kHurt);
    ASSERT_GT(thunder, hurt);
    auto record = [&](const std::string& requests, double seconds) {
        EXPECT_TRUE(runRecordingChild(folder.path(), TESSARIA_SOUND_CHILD,
                                      {requests, std::to_string(seconds)}))
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

TEST_F(SampleCacheTest, AnEffectAfterTheVoiceRestedIsHeardLikeTheFirst) {
    const double hurt = sampleSeconds(kHurt);
    ASSERT_TRUE(runRecordingChild(folder.path(), TESSARIA_SOUND_CHILD,
                                  {"--after-rest", kHurt, std::to_string(hurt + 0.5)}));
    // More than one effect can sound: both were heard.
    EXPECT_GT(audibleSeconds(readFloatWave(folder.path() / "out.wav")), hurt + 0.1);
}

}  // namespace
