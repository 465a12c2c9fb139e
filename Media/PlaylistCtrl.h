// The play order: the files the player steps through, built from the card
// (the recording tree or the current folder) or from the user's playlist,
// with the current folder, the current index and one temporary file that
// can stand in for an index.
#ifndef MEDIA_PLAYLISTCTRL_H
#define MEDIA_PLAYLISTCTRL_H

#include "Media/FileTree.h"
#include "Media/PlaylistFile.h"

#define PLAYLIST_CTRL_MAX_ENTRIES 9999

class CPlaylistCtrl
{
public:
    CPlaylistCtrl();

    int Init(const char* szDir);
    int LoadPlaylist();
    int SavePlaylist();
    int GetPlaylistCount();
    int AddPlaylist(const char* szPath);
    int DeletePlaylist(const char* szPath);

    int SetCurrentDir(const char* szDir);
    void GetCurrentDir(char* szOut);
    void ScanPlaylist();

    int GetCount();
    int CheckValidIndex(int nIndex);
    void SetCurrentIndex(int nIndex);
    int GetCurrentIndex() { return m_nCurrentIndex; }

    void GetFilePath(int nIndex, char* szOut);
    void GetFileDir(int nIndex, char* szOut);
    void GetFileName(int nIndex, char* szOut);
    void GetFileExt(int nIndex, char* szOut);
    void GetCurrentFilePath(char* szOut) { GetFilePath(m_nCurrentIndex, szOut); }
    void GetCurrentFileDir(char* szOut) { GetFileDir(m_nCurrentIndex, szOut); }
    void GetCurrentFileName(char* szOut) { GetFileName(m_nCurrentIndex, szOut); }
    void GetCurrentFileExt(char* szOut) { GetFileExt(m_nCurrentIndex, szOut); }
    const char* GetFilePathPointer(int nIndex);
    int SearchIndex(const char* szPath);

    void SetTempFile(int nIndex, const char* szPath);
    void ClearTempFile();
    int GetTempFileIndex() { return m_nTempIndex; }

private:
    CPlaylistCtrl(const CPlaylistCtrl&);
    CPlaylistCtrl& operator=(const CPlaylistCtrl&);

    void ScanDir(const char* szDir, const tagFilterExt* pFilter, int bWithFolders);
    void PlaylistPath(char* szOut);

    int m_nCount;
    char m_szEntry[PLAYLIST_CTRL_MAX_ENTRIES][256];
    CPlaylistFile m_Playlist;
    char m_szCurrentDir[256];
    int m_nCurrentIndex;
    int m_nTempIndex;
    char m_szTempPath[256];
};

extern CPlaylistCtrl g_PlaylistCtrl;

#endif
