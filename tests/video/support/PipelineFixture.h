// A fresh board with the device's picture and sound threads running on it
// (recording at 48 kHz, the LCD's backlight on).
#pragma once

#include "Lib/Parameter.h"
#include "sim/board/Board.h"
#include "tests/support/BoardTest.h"
#include "tests/video/support/VideoPipeline.h"

#include <memory>

namespace vrec::test {

class PipelineFixture : public BoardTest
{
protected:
    void SetUp() override
    {
        BoardTest::SetUp();
        SetParameter("/REC Quality/SAMPLE RATE", 48000.0f);
        vrec::board::Board::Get().state().leds.backlight = 5;
        pipeline_ = std::make_unique<VideoPipeline>(WriterKind());
        ASSERT_TRUE(pipeline_->started());
    }

    void TearDown() override
    {
        pipeline_.reset();
        BoardTest::TearDown();
    }

    virtual VideoPipeline::Writer WriterKind() const { return VideoPipeline::Writer::kStandIn; }

    std::unique_ptr<VideoPipeline> pipeline_;
};

// The same with the device's writer thread.
class DeviceWriterFixture : public PipelineFixture
{
protected:
    VideoPipeline::Writer WriterKind() const override { return VideoPipeline::Writer::kDevice; }
};

}  // namespace vrec::test
