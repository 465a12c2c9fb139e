#include "bench/support/BenchBoard.h"

#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "sim/board/Board.h"
#include "sim/board/BoardLayout.h"

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace vrec::bench {

void OpenBenchBoard(const std::string& benchDir, const std::string& name)
{
    const std::string root = benchDir + "/" + name;
    std::string why;
    std::system(("rm -rf '" + root + "'").c_str());
    setenv("VRECSIM_ROOT", root.c_str(), 1);
    if (!vrec::board::PrepareBoardRoot(root, &why) || !vrec::board::Board::Reopen(root, &why)) {
        std::fprintf(stderr, "no board: %s\n", why.c_str());
        std::exit(1);
    }
    MENU_ResetDefaults();
    NVRAM_Load();
    SetParameter("/REC Quality/SAMPLE RATE", 48000.0f);
}

double CpuSeconds(int who)
{
    struct rusage usage;
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace vrec::bench
