// The user's playlist of one action mode: up to 99 card paths, kept on the
// card as "/.PlayList.%d", the in-memory image byte for byte.
#ifndef MEDIA_PLAYLISTFILE_H
#define MEDIA_PLAYLISTFILE_H

#define PLAYLIST_MAX_ENTRIES 99
#define PLAYLIST_PATH_SIZE 256
// count (32-bit little-endian) + 99 slots
#define PLAYLIST_FILE_SIZE (4 + PLAYLIST_MAX_ENTRIES * PLAYLIST_PATH_SIZE)

class CPlaylistFile
{
public:
    CPlaylistFile();

    // 1 when loaded; a missing or refused file leaves the list empty (0).
    int Load(const char* szPath);
    int Save(const char* szPath);
    int Add(const char* szPath);
    void Delete(int nIndex);
    int Delete(const char* szPath);
    void DeleteAll();
    int SearchIndex(const char* szPath);
    void GetFilePath(int nIndex, char* szOut);
    int GetCount() { return m_nCount; }
    void Copy(CPlaylistFile& other);

private:
    int m_nCount;
    char m_szEntry[PLAYLIST_MAX_ENTRIES][PLAYLIST_PATH_SIZE];
};

#endif
