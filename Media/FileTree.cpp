#include "Media/FileTree.h"

#include "Lib/Common.h"
#include "Lib/Global.h"
#include "Lib/Sys.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

namespace {

// Folders before files, then the paths byte by byte.
int CompareEntries(const void* pA, const void* pB)
{
    const FILE_TREE_ENTRY* a = *static_cast<FILE_TREE_ENTRY* const*>(pA);
    const FILE_TREE_ENTRY* b = *static_cast<FILE_TREE_ENTRY* const*>(pB);
    if (a->bDir != b->bDir)
        return a->bDir ? -1 : 1;
    return strcmp(a->szPath, b->szPath);
}

int PassesFilter(const char* szName, const tagFilterExt* pFilter)
{
    const char* pDot = strrchr(szName, '.');
    if (!pDot)
        return 0;
    char szExt[FILTER_EXT_SIZE];
    if (strlen(pDot + 1) >= sizeof(szExt))
        return 0;
    strcpy(szExt, pDot + 1);
    ToUpper(szExt);
    for (int i = 0; i < FILTER_EXT_SLOTS && pFilter->szExt[i][0]; ++i)
        if (strcmp(szExt, pFilter->szExt[i]) == 0)
            return 1;
    return 0;
}

// The directory bit of the entry; file systems that do not fill it in are asked.
int IsDirectoryEntry(const char* szRealDir, const struct dirent* pEntry)
{
    if (pEntry->d_type != DT_UNKNOWN)
        return pEntry->d_type == DT_DIR;
    char szPath[FILE_TREE_PATH_SIZE * 2 + 16];
    snprintf(szPath, sizeof(szPath), "%s/%s", szRealDir, pEntry->d_name);
    struct stat st;
    return SYS_stat(szPath, &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

void FILTER_Set(tagFilterExt* pFilter, const char* szExt1, const char* szExt2)
{
    memset(pFilter, 0, sizeof(*pFilter));
    if (szExt1)
        snprintf(pFilter->szExt[0], FILTER_EXT_SIZE, "%s", szExt1);
    if (szExt1 && szExt2)
        snprintf(pFilter->szExt[1], FILTER_EXT_SIZE, "%s", szExt2);
}

void FILTER_SetMode(tagFilterExt* pFilter, int nActionMode)
{
    if (nActionMode == ACTION_MODE_MOVIE)
        FILTER_Set(pFilter, "MOV");
    else if (nActionMode == ACTION_MODE_SOUND)
        FILTER_Set(pFilter, "WAV");
    else
        FILTER_Set(pFilter, "JPG", "JPEG");
}

CFileTree::CFileTree() : m_nTotal(0), m_nDirs(0), m_nFiles(0)
{
    memset(m_pEntry, 0, sizeof(m_pEntry));
}

CFileTree::~CFileTree()
{
    FreeAll();
}

void CFileTree::FreeAll()
{
    for (int i = 0; i < m_nTotal; ++i) {
        free(m_pEntry[i]);
        m_pEntry[i] = NULL;
    }
    m_nTotal = 0;
    m_nDirs = 0;
    m_nFiles = 0;
}

int CFileTree::ScanDir(const char* szDir, const tagFilterExt* pFilter, int bWithFolders)
{
    return Scan(szDir, pFilter, bWithFolders, NULL);
}

int CFileTree::ScanDirOnly(const char* szDir, const char* szName)
{
    return Scan(szDir, NULL, 1, szName);
}

int CFileTree::Scan(const char* szDir, const tagFilterExt* pFilter, int bWithFolders, const char* szOnly)
{
    FreeAll();
    char szReal[FILE_TREE_PATH_SIZE + 16];
    ToRealPath(szReal, szDir);
    DIR* pDir = SYS_opendir(szReal);
    if (!pDir)
        return 0;
    while (m_nTotal <= FILE_TREE_MAX_ENTRIES - 1) {
        struct dirent* pEntry = readdir(pDir);
        if (!pEntry)
            break;
        const char* szName = pEntry->d_name;
        if (szOnly) {
            if (strcmp(szName, ".") == 0 || strcmp(szName, "..") == 0 || strcmp(szName, szOnly) != 0)
                continue;
            Add(szDir, szName, IsDirectoryEntry(szReal, pEntry));
            continue;
        }
        if (szName[0] == '.')
            continue;
        int bDir = IsDirectoryEntry(szReal, pEntry);
        if (bDir && !bWithFolders)
            continue;
        if (!bDir && pFilter && !PassesFilter(szName, pFilter))
            continue;
        Add(szDir, szName, bDir);
    }
    Sort();
    closedir(pDir);
    return m_nTotal;
}

int CFileTree::Add(const char* szDir, const char* szName, int bDir)
{
    FILE_TREE_ENTRY* pEntry = static_cast<FILE_TREE_ENTRY*>(calloc(1, sizeof(FILE_TREE_ENTRY)));
    if (!pEntry)
        return 0;
    int n = strcmp(szDir, "/") == 0 ? snprintf(pEntry->szPath, sizeof(pEntry->szPath), "/%s", szName)
                                    : snprintf(pEntry->szPath, sizeof(pEntry->szPath), "%s/%s", szDir, szName);
    if (n < 0 || n >= static_cast<int>(sizeof(pEntry->szPath))) {
        // A path that does not fit would name another file.
        free(pEntry);
        return 0;
    }
    pEntry->bDir = bDir ? 1 : 0;
    m_pEntry[m_nTotal++] = pEntry;
    if (bDir)
        ++m_nDirs;
    else
        ++m_nFiles;
    return 1;
}

void CFileTree::Sort()
{
    if (m_nTotal > 1)
        qsort(m_pEntry, static_cast<size_t>(m_nTotal), sizeof(m_pEntry[0]), CompareEntries);
}

void CFileTree::GetFilePath(int nIndex, char* szOut)
{
    if (nIndex < 0 || nIndex > FILE_TREE_MAX_ENTRIES - 1 || nIndex >= m_nTotal) {
        szOut[0] = 0;
        return;
    }
    strcpy(szOut, m_pEntry[nIndex]->szPath);
}

int CFileTree::IsDir(int nIndex)
{
    if (nIndex < 0 || nIndex > FILE_TREE_MAX_ENTRIES - 1 || nIndex >= m_nTotal)
        return 0;
    return m_pEntry[nIndex]->bDir;
}
