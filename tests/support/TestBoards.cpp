#include "tests/support/TestBoards.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
#include <vector>

namespace vrec::test {

namespace {

std::mutex g_lock;
std::vector<std::string> g_roots;

class BoardCleanup : public ::testing::EmptyTestEventListener
{
    void OnTestEnd(const ::testing::TestInfo& info) override
    {
        std::vector<std::string> roots;
        {
            std::lock_guard<std::mutex> guard(g_lock);
            roots.swap(g_roots);
        }
        // VRECSIM_KEEP_BOARDS=1 keeps them all, for their snapshots.
        const char* keep = std::getenv("VRECSIM_KEEP_BOARDS");
        if (!info.result()->Passed() || (keep && *keep == '1'))
            return;
        for (const std::string& root : roots)
            if (std::system(("rm -rf '" + root + "'").c_str()) != 0)
                ADD_FAILURE() << "cannot remove " << root;
    }
};

}  // namespace

void RemoveAfterPassing(const std::string& root)
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_roots.push_back(root);
}

void InstallBoardCleanup()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    ::testing::UnitTest::GetInstance()->listeners().Append(new BoardCleanup);
}

}  // namespace vrec::test
