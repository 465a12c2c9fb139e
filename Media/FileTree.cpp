// Stand-in for the file tree until it arrives with its issue (remove then).
#include "Media/FileTree.h"

#include "Lib/Common.h"
#include "Lib/Sys.h"

#include <algorithm>
#include <string.h>
#include <string>
#include <vector>

struct CFileTree::ENTRY
{
    std::vector<std::pair<int, std::string>> items;  // directory flag, path
};

CFileTree::CFileTree() : m_nDirs(0), m_nFiles(0), m_pEntries(new ENTRY) {}
CFileTree::~CFileTree() { delete m_pEntries; }

int CFileTree::ScanDir(const char* szDir, const tagFilterExt* pFilter, int bWithFolders)
{
    m_pEntries->items.clear();
    m_nDirs = m_nFiles = 0;
    char szReal[512];
    ToRealPath(szReal, szDir);
    DIR* pDir = SYS_opendir(szReal);
    if (!pDir)
        return 0;
    while (struct dirent* pEnt = readdir(pDir)) {
        if (pEnt->d_name[0] == '.' || m_nDirs + m_nFiles >= FILE_TREE_MAX_ENTRIES)
            continue;
        int bDir = pEnt->d_type == DT_DIR;
        if (bDir && !bWithFolders)
            continue;
        if (!bDir && pFilter) {
            char szExt[256];
            GetFileExt(szExt, pEnt->d_name);
            ToUpper(szExt);
            int bPass = 0;
            for (int i = 0; i < 8 && pFilter->szExt[i][0]; ++i)
                bPass |= strcmp(szExt, pFilter->szExt[i]) == 0;
            if (!bPass)
                continue;
        }
        std::string path = strcmp(szDir, "/") == 0 ? std::string("/") + pEnt->d_name
                                                   : std::string(szDir) + "/" + pEnt->d_name;
        m_pEntries->items.emplace_back(bDir, path);
        ++(bDir ? m_nDirs : m_nFiles);
    }
    closedir(pDir);
    std::sort(m_pEntries->items.begin(), m_pEntries->items.end(),
              [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
    return 1;
}

void CFileTree::GetFilePath(int nIndex, char* szOut)
{
    szOut[0] = 0;
    if (nIndex >= 0 && nIndex < static_cast<int>(m_pEntries->items.size()))
        snprintf(szOut, FILE_TREE_PATH_SIZE, "%s", m_pEntries->items[static_cast<size_t>(nIndex)].second.c_str());
}

int CFileTree::IsDir(int nIndex)
{
    return nIndex >= 0 && nIndex < static_cast<int>(m_pEntries->items.size()) &&
           m_pEntries->items[static_cast<size_t>(nIndex)].first;
}
