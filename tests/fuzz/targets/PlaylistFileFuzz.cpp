// The user's playlist file on any bytes: a file Load accepts saves back
// byte for byte and holds only card paths; a refused one leaves the list
// empty; edits keep the list within its 99 entries.
#include "Media/PlaylistFile.h"
#include "tests/fuzz/FuzzTarget.h"

#include <cstring>

namespace vrec::fuzz {

namespace {

bool ListIsSound(CPlaylistFile& list)
{
    const int count = list.GetCount();
    if (count < 0 || count > PLAYLIST_MAX_ENTRIES)
        return false;
    for (int i = -1; i <= count; ++i) {
        char path[PLAYLIST_PATH_SIZE + 16];
        std::memset(path, 'x', sizeof(path));
        list.GetFilePath(i, path);
        const size_t length = strnlen(path, PLAYLIST_PATH_SIZE);
        if (length == PLAYLIST_PATH_SIZE)
            return false;
        const bool inside = i >= 0 && i < count;
        if (inside != (length > 0) || (inside && path[0] != '/'))
            return false;
        if (inside && list.SearchIndex(path) > i)
            return false;
    }
    return true;
}

int PlaylistFileRound(const uint8_t* data, size_t size)
{
    static const std::string path = ScratchPath(".PlayList.0");
    static const std::string saved = ScratchPath(".PlayList.saved");
    if (!WriteBytes(path, data, size))
        return kViolation;
    static CPlaylistFile list;
    const int loaded = list.Load(path.c_str());
    if (!ListIsSound(list) || (!loaded && list.GetCount() != 0))
        return kViolation;
    if (loaded) {
        if (!list.Save(saved.c_str()) || ReadBytes(saved) != std::string(reinterpret_cast<const char*>(data), size))
            return kViolation;
    }

    // Edits: the first entry twice more, a full list, deletions.
    char first[PLAYLIST_PATH_SIZE];
    list.GetFilePath(0, first);
    if (first[0]) {
        list.Add(first);
        list.Add(first);
        list.Delete(first);
        if (list.SearchIndex(first) != -1)
            return kViolation;
    }
    while (list.Add("/MY_FOLDER/KS0000_0001.MOV")) {
    }
    if (list.GetCount() != PLAYLIST_MAX_ENTRIES || !ListIsSound(list))
        return kViolation;
    list.Delete(PLAYLIST_MAX_ENTRIES - 1);
    list.Delete(0);
    list.Delete(-1);
    list.Delete(PLAYLIST_MAX_ENTRIES);
    static CPlaylistFile copy;
    copy.Copy(list);
    if (copy.GetCount() != list.GetCount() || !ListIsSound(copy))
        return kViolation;
    return loaded ? kAccepted : kRefused;
}

}  // namespace

VREC_FUZZ_TARGET({"playlist_file", "tests/fuzz/corpus/playlist_file", PLAYLIST_FILE_SIZE + 64, 1, nullptr,
                  PlaylistFileRound});

}  // namespace vrec::fuzz
