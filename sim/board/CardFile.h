// Files on the card as the firmware's stdio sees them on a real card:
// writes take the card's free clusters and fail with ENOSPC when none are
// left, every access fails with EIO once the card has been pulled (even
// when it comes back), and writes fail with EROFS while it is
// write-protected.
#pragma once

#include <cstdio>
#include <string>

namespace vrec::board {

class Board;

// fopen's modes ("r", "wb", "a+", ...). Null and errno on failure.
FILE* OpenCardFile(Board& board, const std::string& hostPath, const char* mode);

}  // namespace vrec::board
