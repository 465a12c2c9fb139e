// Playlist control: the current folder or playlist and the playing list.
#ifndef MEDIA_PLAYLISTCTRL_H
#define MEDIA_PLAYLISTCTRL_H

class CPlaylistCtrl
{
public:
    int Init(const char* szDir);
    const char* GetCurrentDir();

private:
    char m_szCurrentDir[256] = "/MY_FOLDER";
};

extern CPlaylistCtrl g_PlaylistCtrl;

#endif
