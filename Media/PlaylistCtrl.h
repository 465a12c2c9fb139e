// Playlist control: the current folder or playlist and the playing list.
#ifndef MEDIA_PLAYLISTCTRL_H
#define MEDIA_PLAYLISTCTRL_H

class CPlaylistCtrl
{
public:
    int Init(const char* szDir);
    const char* GetCurrentDir();
    void ScanPlaylist();
    int GetCount();
    int SearchIndex(const char* szPath);
    void SetCurrentIndex(int nIndex);
    int GetCurrentIndex();
    void GetCurrentFilePath(char* szOut);
    void GetCurrentFileName(char* szOut);

private:
    char m_szCurrentDir[256] = "/MY_FOLDER";
    int m_nCurrentIndex = 0;
};

extern CPlaylistCtrl g_PlaylistCtrl;

#endif
