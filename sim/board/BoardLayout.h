// Creating a board root and bringing it to the state of a device that has
// just been switched on.
#pragma once

#include <string>

namespace vrec::board {

class BoardPaths;
class CardStore;
struct HardwareState;

// Makes every folder and file of a board root that is missing. A board
// without cards gets "card0", a 4 GB card formatted by the recorder, in its
// slot. Returns false and the reason when the root cannot be made.
bool PrepareBoardRoot(const std::string& root, std::string* why);

// What happens on the device between power-on and the start of the
// program: the system clock is set from the RTC, /tmp is emptied, the mount
// table is new and the card, when it has a FAT file system, is mounted by
// hot-plug.
void PowerOnBoard(const BoardPaths& paths, const CardStore& cards, HardwareState& state);

// The hot-plug reaction to a card that has just been put in.
void HotplugCardInserted(const BoardPaths& paths, const CardStore& cards);

}  // namespace vrec::board
