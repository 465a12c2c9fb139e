#include "tests/support/BoardTest.h"

#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "sim/board/Board.h"
#include "sim/board/BoardLayout.h"
#include "sim/board/HardwareState.h"
#include "tests/support/TestBoards.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::test {

namespace {

std::string g_root;

std::string Sanitised(std::string name)
{
    for (char& c : name)
        if (!isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-')
            c = '_';
    return name;
}

int Shell(const std::string& command)
{
    return std::system(command.c_str());
}

// A board made once per build and copied (sparsely) for every test: making
// a card runs fdisk and mkfs.fat.
std::string TemplateBoard()
{
    std::string base = VREC_TEST_BOARDS;
    // A new layout of the hardware state makes a new template, and so does
    // a new kind of fresh board (the last suffix: cards with an SD card's CID).
    std::string templ = base + "/.template-" + std::to_string(vrec::board::kStateVersion) + "-" +
                        std::to_string(sizeof(vrec::board::HardwareState)) + "-2";
    struct stat st;
    if (stat((templ + "/hardware.state").c_str(), &st) == 0)
        return templ;
    Shell("mkdir -p " + base);
    std::string temp = base + "/.template." + std::to_string(getpid());
    Shell("rm -rf " + temp);
    std::string why;
    if (!vrec::board::PrepareBoardRoot(temp, &why)) {
        ADD_FAILURE() << "cannot make a board: " << why;
        return {};
    }
    if (rename(temp.c_str(), templ.c_str()) != 0)
        Shell("rm -rf " + temp);  // another test made it meanwhile
    return templ;
}

}  // namespace

std::string MakeFreshBoard(const std::string& name)
{
    std::string templ = TemplateBoard();
    std::string root = std::string(VREC_TEST_BOARDS) + "/" + Sanitised(name);
    Shell("rm -rf " + root);
    RemoveAfterPassing(root);
    if (Shell("cp -a --sparse=always " + templ + " " + root) != 0)
        ADD_FAILURE() << "cannot copy the template board to " << root;
    // The template's mount link names the template; power-on remounts.
    return root;
}

std::string BoardRoot()
{
    return g_root;
}

std::string HostPath(const std::string& devicePath)
{
    return vrec::board::Board::Get().paths().Map(devicePath);
}

void BoardTest::SetUp()
{
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    g_root = MakeFreshBoard(std::string(info->test_suite_name()) + "." + info->name());
    setenv("VRECSIM_ROOT", g_root.c_str(), 1);
    std::string why;
    ASSERT_TRUE(vrec::board::Board::Reopen(g_root, &why)) << why;
    MENU_ResetDefaults();
    NVRAM_Load();
}

void BoardTest::TearDown() {}

void BoardTest::PowerCycle()
{
    std::string why;
    ASSERT_TRUE(vrec::board::Board::Reopen(g_root, &why)) << why;
    MENU_ResetDefaults();
    NVRAM_Load();
}

}  // namespace vrec::test
