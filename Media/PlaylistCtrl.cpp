// Folder scanning and playlists arrive with the file management issue; until
// then the control only remembers its folder.
#include "Media/PlaylistCtrl.h"

#include <stdio.h>

CPlaylistCtrl g_PlaylistCtrl;

int CPlaylistCtrl::Init(const char* szDir)
{
    snprintf(m_szCurrentDir, sizeof(m_szCurrentDir), "%s", szDir);
    return 0;
}

const char* CPlaylistCtrl::GetCurrentDir()
{
    return m_szCurrentDir;
}
