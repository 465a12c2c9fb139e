// Nothing the device program runs writes outside its board root and the
// build tree, nor opens a device of this machine: every file system call of
// the program and of every command it starts is traced.
#include "tests/support/AppProcess.h"
#include "tests/support/BoardTest.h"

#include <map>
#include <regex>
#include <sstream>
#include <vector>

using namespace vrec::test;

namespace {

struct Access
{
    std::string call;
    std::string path;
    bool writes;
};

// Joins "<unfinished ...>" and "<... resumed>" halves of strace -f output.
std::vector<std::string> JoinLines(const std::string& log)
{
    std::vector<std::string> lines;
    std::map<std::string, std::string> pending;
    std::istringstream in(log);
    std::string line;
    static const std::regex unfinished(R"(^(\d+) +(.*) <unfinished \.\.\.>$)");
    static const std::regex resumed(R"(^(\d+) +<\.\.\. \w+ resumed>(.*)$)");
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, unfinished))
            pending[m[1]] = m[2];
        else if (std::regex_match(line, m, resumed))
            lines.push_back(m[1].str() + " " + pending[m[1]] + m[2].str());
        else
            lines.push_back(line);
    }
    return lines;
}

std::string Join(const std::string& dir, const std::string& name)
{
    if (name.empty() || name[0] == '/')
        return name;
    return dir + "/" + name;
}

// The paths a successful call wrote to or opened.
std::vector<Access> Accesses(const std::string& log)
{
    std::vector<Access> out;
    static const std::regex call(R"(^\d+ +(\w+)\((.*)\) += (-?\d+).*$)");
    static const std::regex dirAndName(R"((?:AT_FDCWD|\d+)<([^>]*)>, \"([^\"]*)\")");
    static const std::regex bare(R"(\"([^\"]*)\")");
    for (const std::string& line : JoinLines(log)) {
        std::smatch m;
        if (!std::regex_match(line, m, call) || m[3].str().rfind("-", 0) == 0)
            continue;
        std::string name = m[1], args = m[2];
        bool writes = true;
        if (name == "openat" || name == "open" || name == "creat")
            writes = name == "creat" || std::regex_search(args, std::regex("O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_APPEND"));
        std::vector<std::string> paths;
        for (std::sregex_iterator it(args.begin(), args.end(), dirAndName), end; it != end; ++it)
            paths.push_back(Join((*it)[1], (*it)[2]));
        if (paths.empty()) {
            for (std::sregex_iterator it(args.begin(), args.end(), bare), end; it != end; ++it)
                paths.push_back((*it)[1]);
            if (name == "symlink" && !paths.empty())
                paths.erase(paths.begin());  // the link's text is no file
        }
        if (name == "symlinkat" && paths.size() > 1)
            paths.erase(paths.begin());
        for (const std::string& p : paths)
            out.push_back({name, p, writes});
    }
    return out;
}

bool Under(const std::string& path, const std::string& tree)
{
    return path.compare(0, tree.size(), tree) == 0 && (path.size() == tree.size() || path[tree.size()] == '/');
}

const char kTraced[] =
    "trace=open,openat,creat,mkdir,mkdirat,unlink,unlinkat,rmdir,rename,renameat,renameat2,symlink,"
    "symlinkat,link,linkat,chmod,fchmodat,truncate,utimensat,mknod,mknodat";

// What a trace did that it must not: writes outside the board root and the
// build tree, and opens of this machine's devices.
std::vector<std::string> Violations(const std::string& log, const std::string& root, const std::string& build,
                                    int* boardWrites)
{
    std::vector<std::string> bad;
    *boardWrites = 0;
    for (const Access& a : Accesses(log)) {
        bool device = Under(a.path, "/dev") &&
                      !(a.path == "/dev/null" || a.path == "/dev/zero" || a.path == "/dev/urandom" ||
                        a.path == "/dev/random" || a.path == "/dev/tty" || a.path == "/dev/full" ||
                        Under(a.path, "/dev/pts"));
        if (device)
            bad.push_back(a.call + " opens " + a.path);
        if (!a.writes)
            continue;
        if (Under(a.path, root))
            ++*boardWrites;
        else if (!(Under(a.path, build) || a.path == "/dev/null" || a.path == "/dev/tty" || Under(a.path, "/dev/pts")))
            bad.push_back(a.call + " writes " + a.path);
    }
    return bad;
}

TEST(IsolationCheck, FindsWritesOutsideAndDeviceOpens)
{
    const std::string log =
        "10 openat(AT_FDCWD</r/approot>, \"NVRAM_G.txt\", O_RDONLY) = 3</r/approot/NVRAM_G.txt>\n"
        "10 openat(AT_FDCWD</x>, \"/b/tmp/NVRAM.txt\", O_WRONLY|O_CREAT|O_TRUNC, 0666) = 3</b/tmp/NVRAM.txt>\n"
        "11 openat(AT_FDCWD</x>, \"/tmp/NVRAM.txt\", O_WRONLY|O_CREAT <unfinished ...>\n"
        "12 unlinkat(4</etc>, \"passwd\", 0) = 0\n"
        "11 <... openat resumed>) = 3</tmp/NVRAM.txt>\n"
        "13 openat(AT_FDCWD</x>, \"/dev/snd/controlC0\", O_RDWR) = 5</dev/snd/controlC0>\n"
        "14 mkdir(\"/b/media/mmcblk0p1\", 0777) = 0\n"
        "15 unlinkat(AT_FDCWD</x>, \"/home/user/f\", 0) = -1 ENOENT (No such file or directory)\n"
        "16 symlink(\"/anywhere\", \"/b/media/link\") = 0\n";
    int boardWrites = 0;
    std::vector<std::string> bad = Violations(log, "/b", "/r", &boardWrites);
    ASSERT_EQ(bad.size(), 4u);
    EXPECT_EQ(bad[0], "unlinkat writes /etc/passwd");
    EXPECT_EQ(bad[1], "openat writes /tmp/NVRAM.txt");
    EXPECT_EQ(bad[2], "openat opens /dev/snd/controlC0");
    EXPECT_EQ(bad[3], "openat writes /dev/snd/controlC0");
    EXPECT_EQ(boardWrites, 3);
}

class IsolationTest : public BoardTest
{
protected:
    std::string buildDir_ = std::string(VREC_TEST_BOARDS).substr(0, std::string(VREC_TEST_BOARDS).rfind('/'));

    void ExpectContained(const std::string& log)
    {
        ASSERT_GT(Accesses(log).size(), 20u) << "the trace holds too little to judge:\n" << log.substr(0, 2000);
        int boardWrites = 0;
        std::vector<std::string> bad = Violations(log, BoardRoot(), buildDir_, &boardWrites);
        for (const std::string& b : bad)
            ADD_FAILURE() << b;
        EXPECT_GT(boardWrites, 5);
    }

    std::vector<std::string> Strace(const std::string& log)
    {
        // The leak checker cannot run under a tracer.
        return {"env", "ASAN_OPTIONS=detect_leaks=0", "strace", "-f", "-qq", "-y", "-e", kTraced, "-o", log};
    }
};

TEST_F(IsolationTest, StartAndQuit)
{
    std::string log = BoardRoot() + "/log/strace-app.log";
    AppProcess app(BoardRoot(), Strace(log));
    ASSERT_TRUE(app.Start());
    app.Send("free");
    app.Send("quit");
    ASSERT_TRUE(app.Wait(30000)) << app.Errors();
    ASSERT_EQ(app.exitStatus(), 0) << app.Errors();
    ExpectContained(ReadFile(log));
}

TEST_F(IsolationTest, SettingsChangeFormatAndPowerOff)
{
    std::string log = BoardRoot() + "/log/strace-probe.log";
    std::string command = "cd " VREC_APP_ROOT " && VRECSIM_ROOT=" + BoardRoot() + " ASAN_OPTIONS=detect_leaks=0 strace -f -qq -y -e " +
                          kTraced + " -o " + log + " " + VREC_ISOLATION_PROBE + " > " + BoardRoot() +
                          "/log/probe.out 2>&1";
    ASSERT_EQ(system(command.c_str()), 0) << ReadFile(BoardRoot() + "/log/probe.out");
    std::string out = ReadFile(BoardRoot() + "/log/probe.out");
    EXPECT_NE(out.find("Format OK."), std::string::npos) << out;
    EXPECT_NE(out.find("PowerOff()!!!"), std::string::npos) << out;
    std::string global = ReadFile(HostPath("/mnt/mtd5/NVRAM.txt"));
    EXPECT_NE(global.find("/Setup/AUTO OFF=5\n"), std::string::npos) << global;
    ExpectContained(ReadFile(log));
}

}  // namespace
