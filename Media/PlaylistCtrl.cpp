#include "Media/PlaylistCtrl.h"

#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Parameter.h"

#include <stdio.h>
#include <string.h>

CPlaylistCtrl g_PlaylistCtrl;

#define DEFAULT_DIR "/MY_FOLDER"

CPlaylistCtrl::CPlaylistCtrl() : m_nCount(0), m_nCurrentIndex(0), m_nTempIndex(-1)
{
    memset(m_szEntry, 0, sizeof(m_szEntry));
    strcpy(m_szCurrentDir, DEFAULT_DIR);
    m_szTempPath[0] = 0;
}

int CPlaylistCtrl::Init(const char* szDir)
{
    LoadPlaylist();
    SetCurrentDir(szDir);
    ScanPlaylist();
    return 1;
}

void CPlaylistCtrl::PlaylistPath(char* szOut)
{
    char szName[32];
    snprintf(szName, sizeof(szName), "/.PlayList.%d", GetActionMode());
    ToRealPath(szOut, szName);
}

int CPlaylistCtrl::LoadPlaylist()
{
    char szPath[64];
    PlaylistPath(szPath);
    return m_Playlist.Load(szPath);
}

int CPlaylistCtrl::SavePlaylist()
{
    char szPath[64];
    PlaylistPath(szPath);
    return m_Playlist.Save(szPath);
}

int CPlaylistCtrl::GetPlaylistCount()
{
    return m_Playlist.GetCount();
}

int CPlaylistCtrl::AddPlaylist(const char* szPath)
{
    return m_Playlist.Add(szPath);
}

int CPlaylistCtrl::DeletePlaylist(const char* szPath)
{
    return m_Playlist.Delete(szPath);
}

int CPlaylistCtrl::SetCurrentDir(const char* szDir)
{
    if (!szDir || !szDir[0] || strlen(szDir) >= sizeof(m_szCurrentDir))
        szDir = DEFAULT_DIR;
    if (szDir != m_szCurrentDir)
        strcpy(m_szCurrentDir, szDir);
    SetParameter("/LOCAL/CurrentDir", m_szCurrentDir);
    char szReal[300];
    char szName[256];
    ToRealPath(szReal, m_szCurrentDir);
    return GetNextFileName(szName, szReal, "mov");
}

void CPlaylistCtrl::GetCurrentDir(char* szOut)
{
    strcpy(szOut, m_szCurrentDir);
}

void CPlaylistCtrl::ScanPlaylist()
{
    m_nCount = 0;
    memset(m_szEntry, 0, sizeof(m_szEntry));
    ClearTempFile();

    tagFilterExt filter;
    FILTER_SetMode(&filter, GetActionMode());

    switch (static_cast<int>(GetParameter("/Play Option/PLAY AREA", NULL))) {
    case 0:
        ScanDir(DEFAULT_DIR, &filter, 1);
        break;
    case 1:
        ScanDir(m_szCurrentDir, &filter, 0);
        break;
    case 2:
        for (int i = 0; i < m_Playlist.GetCount(); ++i)
            m_Playlist.GetFilePath(i, m_szEntry[i]);
        m_nCount = m_Playlist.GetCount();
        break;
    default:
        break;
    }
    if (m_nCount > 0)
        m_nCurrentIndex = 0;
}

// Depth first: a folder's own files, then the files of each subfolder.
void CPlaylistCtrl::ScanDir(const char* szDir, const tagFilterExt* pFilter, int bWithFolders)
{
    if (m_nCount > PLAYLIST_CTRL_MAX_ENTRIES - 1)
        return;
    CFileTree* pTree = new CFileTree();
    pTree->ScanDir(szDir, pFilter, bWithFolders);
    char szPath[256];
    for (int i = 0; i < pTree->GetTotalCount() && m_nCount <= PLAYLIST_CTRL_MAX_ENTRIES - 1; ++i) {
        if (pTree->IsDir(i))
            continue;
        pTree->GetFilePath(i, m_szEntry[m_nCount]);
        ++m_nCount;
    }
    for (int i = 0; i < pTree->GetTotalCount() && m_nCount <= PLAYLIST_CTRL_MAX_ENTRIES - 1; ++i) {
        if (!pTree->IsDir(i))
            continue;
        pTree->GetFilePath(i, szPath);
        ScanDir(szPath, pFilter, bWithFolders);
    }
    delete pTree;
}

int CPlaylistCtrl::GetCount()
{
    if (m_nCount == 0 && m_nTempIndex != -1)
        return 1;
    return m_nCount;
}

int CPlaylistCtrl::CheckValidIndex(int nIndex)
{
    if (m_nTempIndex != -1 && nIndex == m_nTempIndex)
        return 1;
    return nIndex >= 0 && nIndex <= PLAYLIST_CTRL_MAX_ENTRIES - 1 && nIndex < m_nCount;
}

void CPlaylistCtrl::SetCurrentIndex(int nIndex)
{
    if (CheckValidIndex(nIndex))
        m_nCurrentIndex = nIndex;
}

const char* CPlaylistCtrl::GetFilePathPointer(int nIndex)
{
    if (m_nTempIndex != -1 && nIndex == m_nTempIndex)
        return m_szTempPath;
    if (!CheckValidIndex(nIndex))
        return "";
    return m_szEntry[nIndex];
}

void CPlaylistCtrl::GetFilePath(int nIndex, char* szOut)
{
    strcpy(szOut, GetFilePathPointer(nIndex));
}

void CPlaylistCtrl::GetFileDir(int nIndex, char* szOut)
{
    GetFilePath(nIndex, szOut);
    char* pSlash = strrchr(szOut, '/');
    if (pSlash)
        *pSlash = 0;
}

// A part of the path of an index (name or extension); empty for a bad index.
static void PathPart(const char* szPath, char* szOut, void (*pfnPart)(char*, const char*))
{
    if (!szPath[0])
        szOut[0] = 0;
    else
        pfnPart(szOut, szPath);
}

void CPlaylistCtrl::GetFileName(int nIndex, char* szOut)
{
    PathPart(GetFilePathPointer(nIndex), szOut, ::GetFileName);
}

void CPlaylistCtrl::GetFileExt(int nIndex, char* szOut)
{
    PathPart(GetFilePathPointer(nIndex), szOut, ::GetFileExt);
}

int CPlaylistCtrl::SearchIndex(const char* szPath)
{
    int nLast = m_nCount;
    if (m_nTempIndex >= nLast)
        nLast = m_nTempIndex + 1;
    for (int i = 0; i < nLast; ++i) {
        const char* szEntry = GetFilePathPointer(i);
        if (szEntry[0] && strcmp(szEntry, szPath) == 0)
            return i;
    }
    return -1;
}

void CPlaylistCtrl::SetTempFile(int nIndex, const char* szPath)
{
    m_nTempIndex = nIndex;
    snprintf(m_szTempPath, sizeof(m_szTempPath), "%s", szPath ? szPath : "");
}

void CPlaylistCtrl::ClearTempFile()
{
    m_nTempIndex = -1;
    m_szTempPath[0] = 0;
}
