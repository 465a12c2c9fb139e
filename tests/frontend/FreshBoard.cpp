#include "tests/frontend/FreshBoard.h"

#include "sim/board/BoardLayout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace vrec::test {

std::string MakeFreshBoard(const std::string& name)
{
    std::string safe;
    for (char c : name)
        safe += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '_';
    std::string root = std::string(VREC_TEST_BOARDS) + "/" + safe;
    mkdir(VREC_TEST_BOARDS, 0755);
    if (std::system(("rm -rf '" + root + "'").c_str()) != 0)
        ADD_FAILURE() << "cannot remove " << root;
    std::string why;
    if (!vrec::board::PrepareBoardRoot(root, &why))
        ADD_FAILURE() << why;
    return root;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

bool WriteFile(const std::string& path, const std::string& contents)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
    return static_cast<bool>(out);
}

bool FileExists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

}  // namespace vrec::test
