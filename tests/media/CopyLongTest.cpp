// Dividing a 100 s movie at 40 s, as the player's divide does.
#include "tests/media/support/CopyCheck.h"

using namespace vrec::test;

TEST_F(CopyTest, DivideHundredSecondMovieAtForty)
{
    const std::string source = MakeSource("LONG.MOV", 3000, 48000, 16);
    CheckDivide(source, 3000, 48000, 16, 40);
}
