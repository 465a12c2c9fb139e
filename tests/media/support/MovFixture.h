// Tests on a fresh board that record movies with a scripted creator.
#pragma once

#include "Media/MovCreator.h"
#include "tests/media/support/MovParse.h"
#include "tests/media/support/Mpeg4Stream.h"
#include "tests/media/support/ScriptedCreator.h"
#include "tests/support/BoardTest.h"

#include <memory>
#include <string>

namespace vrec::test {

class MovTest : public BoardTest
{
protected:
    // The creator is large (its tables): one per test, on the heap.
    std::unique_ptr<ScriptedCreator> creator = std::make_unique<ScriptedCreator>();

    RecorderVideo Video(int width, int height, int frames)
    {
        RecorderVideo video;
        std::string error;
        if (!EncodeRecorderVideo(width, height, frames, &video, &error))
            ADD_FAILURE() << error;
        return video;
    }

    // Records the queued script into devicePath; returns Create's result.
    int Record(const std::string& devicePath, int width, int height, int rate, int bits, int channels = 2)
    {
        return creator->Create(devicePath.c_str(), width, height, 30, rate, bits, channels);
    }

    // A recording of `frames` real frames and `soundMs` of sound in the
    // device's rhythm; returns the host path of the file.
    std::string MakeMovie(const std::string& name, int width, int height, int frames, int rate, int bits, int soundMs)
    {
        RecorderVideo video = Video(width, height, frames);
        creator->QueueRecording(video, frames, rate, bits, 2, soundMs);
        int code = Record("/sdcard/" + name, width, height, rate, bits);
        EXPECT_EQ(code, MOV_EXIT_STOPPED);
        return HostPath("/sdcard/" + name);
    }
};

}  // namespace vrec::test
