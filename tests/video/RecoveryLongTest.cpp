// Twenty power cuts at seeded moments, across HD and SD movies and 48 kHz
// 24-bit sound recordings: every recording comes back whole.
#include "tests/video/support/PowerCut.h"

#include <gtest/gtest.h>

using namespace vrec::test;

namespace {

class RecoveryLongTest : public PowerCutTest, public ::testing::WithParamInterface<unsigned>
{
};

const CutRecording kKinds[] = {{1280, 48000, 16}, {640, 48000, 16}, {0, 48000, 24}};

}  // namespace

TEST_P(RecoveryLongTest, RecordingCutAtASeededMomentIsRecovered)
{
    const unsigned seed = GetParam();
    CutAndCheck(kKinds[seed % 3], 100 + seed, 0.5, 8.0);
}

INSTANTIATE_TEST_SUITE_P(TwentyMoments, RecoveryLongTest, ::testing::Range(0u, 20u));
