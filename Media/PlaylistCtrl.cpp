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

void CPlaylistCtrl::ScanPlaylist() {}
int CPlaylistCtrl::GetCount() { return 0; }
int CPlaylistCtrl::SearchIndex(const char* szPath) { return -1; }
void CPlaylistCtrl::SetCurrentIndex(int nIndex) {}
int CPlaylistCtrl::GetCurrentIndex() { return m_nCurrentIndex; }
void CPlaylistCtrl::GetCurrentFilePath(char* szOut) { szOut[0] = 0; }
void CPlaylistCtrl::GetCurrentFileName(char* szOut) { szOut[0] = 0; }
