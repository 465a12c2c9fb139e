// The sound card's way to its board: the root named by VRECSIM_ROOT (the
// board's default root otherwise) and the hardware state mapped from it.
#pragma once

#include "sim/board/HardwareState.h"

#include <memory>
#include <string>

namespace vrec::sound {

class CardLink
{
public:
    // False and the reason when the board cannot be reached.
    bool Open(std::string* why);

    bool ok() const { return stateFile_ && stateFile_->ok(); }
    board::HardwareState& state() { return stateFile_->state(); }
    board::SoundCard& card() { return state().sound; }
    const std::string& root() const { return root_; }

    // Where the line output is recorded.
    std::string PlayedFile() const { return root_ + "/sound/played.wav"; }

private:
    std::string root_;
    std::unique_ptr<board::HardwareStateFile> stateFile_;
};

// The board root the card serves: VRECSIM_ROOT, else the build's default.
std::string BoardRootForCard();

}  // namespace vrec::sound
