// Pictures of the player's tests: the frame stamps that the board's camera
// draws into its pictures, read back from the HDMI and LCD video planes
// while files play, and the fixture that records movies to play.
#pragma once

#include "sim/board/Board.h"
#include "tests/player/PlayerFixture.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vrec::test {

// Pictures the display thread has put on a video plane so far.
uint32_t PicturesShown();
// The stamp of the picture on the HDMI video plane (width x height).
std::optional<uint32_t> HdmiFrame(int width, int height);
// The stamp of the picture on the LCD's video plane: the panel holds it
// turned a quarter; a 1280-wide picture is letter-boxed (320 x 180 at y 30).
std::optional<uint32_t> LcdFrame(bool letterBoxed);

// Watches the HDMI plane while a file plays: for each picture it catches,
// how many pictures had been shown and the frame it showed. (Pictures it
// misses are still counted.)
class HdmiWatch
{
public:
    struct Seen
    {
        uint32_t shown;
        uint32_t frame;
    };

    HdmiWatch(int width, int height);
    ~HdmiWatch() { Stop(); }

    const std::vector<Seen>& Stop();
    uint32_t Shown() const { return PicturesShown() - start_; }

private:
    uint32_t start_;
    std::atomic<bool> stop_{false};
    std::vector<Seen> seen_;
    std::thread thread_;
};

// The player's tests that look at pictures: the LCD lit, HDMI plugged on
// request, movies recorded through the camera.
class PlayerVideoTest : public PlayerTest
{
protected:
    void TearDown() override;

    // A movie recorded through the camera, encoder and a writer; frames_
    // gets the stamps of its pictures as ffmpeg decodes them.
    std::string RecordMovie(int width, double seconds);
    void PlugHdmi();
    // Index in the movie of the frame with this stamp, -1 if none.
    int IndexOf(uint32_t stamp) const;

    std::vector<uint32_t> frames_;
};

}  // namespace vrec::test
