// Stand-in for the file tree until it arrives with its issue (remove then):
// the interface the information screen counts with, over a plain scan.
#ifndef MEDIA_FILETREE_H
#define MEDIA_FILETREE_H

#define FILE_TREE_MAX_ENTRIES 9999
#define FILE_TREE_PATH_SIZE 256

// Upper-case extensions without the dot; the list ends at the first empty slot.
struct tagFilterExt
{
    char szExt[8][16];
};

class CFileTree
{
public:
    CFileTree();
    ~CFileTree();
    int ScanDir(const char* szDir, const tagFilterExt* pFilter, int bWithFolders);
    int GetTotalCount() { return m_nDirs + m_nFiles; }
    int GetDirCount() { return m_nDirs; }
    int GetFileCount() { return m_nFiles; }
    void GetFilePath(int nIndex, char* szOut);
    int IsDir(int nIndex);

private:
    CFileTree(const CFileTree&);
    CFileTree& operator=(const CFileTree&);

    int m_nDirs;
    int m_nFiles;
    struct ENTRY;
    ENTRY* m_pEntries;
};

#endif
