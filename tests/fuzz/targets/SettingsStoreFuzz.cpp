// The settings store on any two files: the global store, then, after a
// line "----- local -----", the card's store. A load keeps the table and the
// menu tree's texts within bounds and leaves every item a number the
// firmware can use; what a load and a save write loads and saves to the
// same files again (checked on a sample while fuzzing: saves are slow).
#include "Lib/NVRAM.h"
#include "Lib/Parameter.h"
#include "sim/board/Board.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace vrec::fuzz {

namespace {

const char kLocalStarts[] = "\n----- local -----\n";

std::string Host(const char* devicePath)
{
    return vrec::board::Board::Get().paths().Map(devicePath);
}

// The default files live in the working directory: the build's in the
// tests, a copy of the source tree's where the fuzzer runs.
void SetUp()
{
    if (access(NVRAM_GLOBAL_DEFAULT, R_OK) == 0)
        return;
    const std::string dir = std::string(VREC_FUZZ_DIR) + "/settings-defaults";
    mkdir(dir.c_str(), 0755);
    for (const char* name : {"NVRAM_G.txt", "NVRAM_L.txt"}) {
        const std::string bytes = ReadBytes(std::string(VREC_SOURCE_DIR) + "/installation/" + name);
        WriteBytes(dir + "/" + name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    if (chdir(dir.c_str()) != 0)
        std::abort();
}

// Every menu item's text fits its buffer and its value fits an int.
bool TreeIsSound()
{
    MENU_INFO* info = GetMenuInfo();
    for (const MENU_GROUP& group : info->aGroup) {
        if (!group.szName)
            continue;
        for (const MENU_ITEM& item : group.aItem) {
            if (!item.szName)
                break;
            const std::string key = std::string("/") + group.szName + "/" + item.szName;
            char text[NVRAM_TEXT_SIZE + 64];
            std::memset(text, 'x', sizeof(text));
            const float value = GetParameter(key.c_str(), text);
            if (!std::isfinite(value) || std::fabs(value) >= 2147483648.0f)
                return false;
            if (std::memchr(text, 0, NVRAM_TEXT_SIZE) == nullptr)
                return false;
        }
    }
    return true;
}

int Violation(const char* why)
{
    std::fprintf(stderr, "settings store: %s\n", why);
    return kViolation;
}

bool LoadSaveRead(std::string* global, std::string* local)
{
    MENU_ResetDefaults();
    NVRAM_Load();
    if (!NVRAM_IsInitialized() || NVRAM_GetCount() > NVRAM_MAX_ENTRIES || !TreeIsSound())
        return false;
    if (!NVRAM_GlobalSave() || !NVRAM_LocalSave())
        return false;
    *global = ReadBytes(Host(NVRAM_GLOBAL_FILE));
    *local = ReadBytes(Host(NVRAM_LOCAL_FILE));
    return true;
}

int SettingsStoreRound(const uint8_t* data, size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find(kLocalStarts);
    const std::string global = input.substr(0, split);
    const std::string local = split == std::string::npos ? "" : input.substr(split + sizeof(kLocalStarts) - 1);
    for (const char* store : {NVRAM_GLOBAL_FILE, NVRAM_LOCAL_FILE})
        unlink((Host(store) + NVRAM_DAMAGED_SUFFIX).c_str());
    WriteBytes(Host(NVRAM_GLOBAL_FILE), reinterpret_cast<const uint8_t*>(global.data()), global.size());
    WriteBytes(Host(NVRAM_LOCAL_FILE), reinterpret_cast<const uint8_t*>(local.data()), local.size());

    if (!SampledForSlowChecks(data, size)) {
        MENU_ResetDefaults();
        NVRAM_Load();
        if (!NVRAM_IsInitialized() || NVRAM_GetCount() > NVRAM_MAX_ENTRIES || !TreeIsSound())
            return Violation("a load left the table or the menu tree unsound");
    } else {
        std::string global1, local1, global2, local2;
        if (!LoadSaveRead(&global1, &local1))
            return Violation("a load left the table or the menu tree unsound, or a save failed");
        // A full table has left lines out (with a message): the next load
        // may find room for defaults. Only a table with room must be stable.
        const bool full = NVRAM_GetCount() == NVRAM_MAX_ENTRIES;
        if (!LoadSaveRead(&global2, &local2))
            return Violation("a second load left the table or the menu tree unsound, or a save failed");
        if (full)
            return kAccepted;
        if (global1 != global2)
            return Violation(("the global store changed on its second load and save:\n" + global1 + "----\n" +
                              global2).c_str());
        if (local1 != local2)
            return Violation(("the card's store changed on its second load and save:\n" + local1 + "----\n" +
                              local2).c_str());
    }
    // A damaged store was replaced by the defaults, a sound one read as it is.
    struct stat st;
    const bool replaced = stat((Host(NVRAM_GLOBAL_FILE) + NVRAM_DAMAGED_SUFFIX).c_str(), &st) == 0 ||
                          stat((Host(NVRAM_LOCAL_FILE) + NVRAM_DAMAGED_SUFFIX).c_str(), &st) == 0;
    return replaced ? kRefused : kAccepted;
}

}  // namespace

VREC_FUZZ_TARGET({"settings_store", "tests/fuzz/corpus/settings_store", 8192, 16, SetUp, SettingsStoreRound});

}  // namespace vrec::fuzz
