// Thunder as it is heard: a game frame with lightning in the rain, drawn by a
// child program (thunder_child.cpp) whose OpenAL Soft records everything it
// mixes, and the hurt sound that the one voice keeps out while the thunder rolls.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "app/audio_recording.h"
#include "app/run_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr double kRecordSeconds = 1.0;

class Thunder : public ::testing::Test {
protected:
    void SetUp() override {
        previous = fs::current_path();
        fs::current_path(folder.path());
    }
    void TearDown() override { fs::current_path(previous); }

    Recording record(std::vector<std::string> arguments) {
        EXPECT_TRUE(runRecordingChild(folder.path(), TESSARIA_THUNDER_CHILD, arguments));
        return readFloatWave(folder.path() / "out.wav");
    }

    RunFolder folder;
    fs::path previous;
};

// Index of the first sample that sounds.
size_t onset(const Recording& recording) {
    for (size_t i = 0; i < recording.left.size(); ++i)
        if (std::fabs(recording.left[i]) > 0.002f) return i;
    return recording.left.size();
}

double rms(const std::vector<float>& values, size_t from, size_t count) {
    double sum = 0;
    for (size_t i = from; i < from + count; ++i) sum += double(values[i]) * values[i];
    return std::sqrt(sum / count);
}

TEST_F(Thunder, ALightningFrameInTheRainIsHeardAndAHurtFrameDuringItIsNot) {
    const Recording thunderOnly = record({"--no-hurt"});
    const Recording withHurt = record({});
    ASSERT_GT(thunderOnly.rate, 0);
    ASSERT_EQ(withHurt.rate, thunderOnly.rate);

    EXPECT_GT(audibleSeconds(thunderOnly), 0.7 * kRecordSeconds) << "the thunder was not heard";

    // Lined up at their first sound, the two recordings must be the same
    // thunder: a hurt sound mixed in would add its own signal.
    const size_t a = onset(thunderOnly), b = onset(withHurt);
    const size_t span = static_cast<size_t>(thunderOnly.rate / 2);
    ASSERT_LE(a + span, thunderOnly.left.size());
    ASSERT_LE(b + span, withHurt.left.size());
    std::vector<float> difference(span);
    for (size_t i = 0; i < span; ++i)
        difference[i] = withHurt.left[b + i] - thunderOnly.left[a + i];
    EXPECT_LT(rms(difference, 0, span), 0.05 * rms(thunderOnly.left, a, span));
}

}  // namespace
