#include "sim/sound/CardLink.h"

#include <cstdlib>
#include <sys/stat.h>

#ifndef VREC_DEFAULT_BOARD_ROOT
#error "VREC_DEFAULT_BOARD_ROOT must name the build's default board root"
#endif

namespace vrec::sound {

std::string BoardRootForCard()
{
    const char* root = std::getenv("VRECSIM_ROOT");
    return (root && *root) ? root : VREC_DEFAULT_BOARD_ROOT;
}

bool CardLink::Open(std::string* why)
{
    root_ = BoardRootForCard();
    struct stat st;
    // The card belongs to a board: never make a board of its own.
    if (stat((root_ + "/hardware.state").c_str(), &st) != 0) {
        *why = "no board at " + root_;
        return false;
    }
    stateFile_ = std::make_unique<board::HardwareStateFile>(root_);
    if (!stateFile_->ok()) {
        *why = "cannot map the hardware state of " + root_;
        return false;
    }
    return true;
}

}  // namespace vrec::sound
