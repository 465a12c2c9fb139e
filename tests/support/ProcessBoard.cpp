// Every test program runs on a board of its own unless a test picks one:
// nothing a test does reaches the build's default board.
#include "tests/support/TestBoards.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

struct ProcessBoard
{
    std::string root;

    ProcessBoard()
    {
        vrec::test::InstallBoardCleanup();
        if (std::getenv("VRECSIM_ROOT"))
            return;
        root = std::string(VREC_TEST_BOARDS) + "/process-" + std::to_string(getpid());
        setenv("VRECSIM_ROOT", root.c_str(), 1);
    }

    ~ProcessBoard()
    {
        if (!root.empty() && std::system(("rm -rf " + root).c_str()) != 0)
            std::fprintf(stderr, "cannot remove %s\n", root.c_str());
    }
};

ProcessBoard g_processBoard;

}  // namespace
