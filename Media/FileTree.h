// One folder of the card: its entries, filtered by extension and sorted with
// folders first, as logical card paths.
#ifndef MEDIA_FILETREE_H
#define MEDIA_FILETREE_H

#define FILE_TREE_MAX_ENTRIES 9999
#define FILE_TREE_PATH_SIZE 256
#define FILTER_EXT_SLOTS 8
#define FILTER_EXT_SIZE 16

// Upper-case extensions without the dot; the list ends at the first empty slot.
struct tagFilterExt
{
    char szExt[FILTER_EXT_SLOTS][FILTER_EXT_SIZE];
};

struct FILE_TREE_ENTRY
{
    char szPath[FILE_TREE_PATH_SIZE];
    int bDir;
};

class CFileTree
{
public:
    CFileTree();
    ~CFileTree();

    // Replace the contents with the entries of szDir (a logical path).
    int ScanDir(const char* szDir, const tagFilterExt* pFilter, int bWithFolders);
    // Replace the contents with the one entry of szDir named szName.
    int ScanDirOnly(const char* szDir, const char* szName);

    int GetTotalCount() { return m_nTotal; }
    int GetDirCount() { return m_nDirs; }
    int GetFileCount() { return m_nFiles; }
    void GetFilePath(int nIndex, char* szOut);
    int IsDir(int nIndex);

    void Sort();
    void FreeAll();

private:
    CFileTree(const CFileTree&);
    CFileTree& operator=(const CFileTree&);

    int Scan(const char* szDir, const tagFilterExt* pFilter, int bWithFolders, const char* szOnly);
    int Add(const char* szDir, const char* szName, int bDir);

    int m_nTotal;
    int m_nDirs;
    int m_nFiles;
    FILE_TREE_ENTRY* m_pEntry[FILE_TREE_MAX_ENTRIES];
};

// A filter with the given extensions (at most eight; null ends the list).
void FILTER_Set(tagFilterExt* pFilter, const char* szExt1, const char* szExt2 = 0);
// The files of an action mode: "MOV" (movie), "WAV" (sound), "JPG" and "JPEG" (photo).
void FILTER_SetMode(tagFilterExt* pFilter, int nActionMode);

#endif
