// Power cuts during real recordings: the device's capture, video, sound and
// writer threads record in a child process that pulls its own battery
// (SIGKILL) at a chosen moment; the card is then recovered as the state
// control does at card acceptance and the files are checked with the real
// tools, frame by frame against the recorder's journal and the camera's
// frame stamps.
#pragma once

#include "tests/support/BoardTest.h"

#include <string>

namespace vrec::test {

struct CutRecording
{
    int width = 0;    // 1280 or 640; 0 for a sound recording
    int rate = 48000;
    int bits = 16;
};

// What a recording lost before the cut for reasons of the host: under the
// sanitizers, or when the camera found no buffer or the capture no frame
// buffer, the recording path fell behind (frames and sound are then lost by
// design, as on the device) and its length is not judged.
class HostHoldUp
{
public:
    HostHoldUp();  // counts from now
    bool Excuses() const;

private:
    uint32_t dropped_;
    int missed_;
};

class PowerCutTest : public BoardTest
{
protected:
    // Records and cuts the power `seconds` after the file was created;
    // returns the seconds recorded before the cut (negative on a failure)
    // and whether the host held the recording up.
    double RecordAndCut(const CutRecording& recording, double seconds, bool* heldUp);
    // Both, the cut at the seeded moment between from and to seconds.
    void CutAndCheck(const CutRecording& recording, unsigned seed, double from, double to);
};

// Recovers the card and checks the one recording on it: it plays, is no
// more than a second shorter than `recorded`, and holds the frames the
// journal named, in the camera's order.
void CheckRecovered(const CutRecording& recording, double recorded, bool heldUp);

// The seeded moment of cut number `seed`, between `from` and `to` seconds.
double CutMoment(unsigned seed, double from, double to);

}  // namespace vrec::test
