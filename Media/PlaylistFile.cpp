#include "Media/PlaylistFile.h"

#include "Lib/Log.h"
#include "Lib/Sys.h"

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

namespace {

uint32_t GetLE32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void PutLE32(unsigned char* p, uint32_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// Why an image read from the card is no playlist, or null when it is one:
// every used slot a NUL-terminated card path, every other slot zero.
const char* ImageFault(const unsigned char* pImage)
{
    int32_t nCount = static_cast<int32_t>(GetLE32(pImage));
    if (nCount < 0 || nCount > PLAYLIST_MAX_ENTRIES)
        return "count out of range";
    for (int i = 0; i < PLAYLIST_MAX_ENTRIES; ++i) {
        const unsigned char* pSlot = pImage + 4 + i * PLAYLIST_PATH_SIZE;
        const void* pEnd = memchr(pSlot, 0, PLAYLIST_PATH_SIZE);
        if (!pEnd)
            return "entry without end";
        size_t nLength = static_cast<const unsigned char*>(pEnd) - pSlot;
        if (i < nCount && (nLength == 0 || pSlot[0] != '/'))
            return "entry that is no card path";
        for (size_t k = (i < nCount ? nLength : 0); k < PLAYLIST_PATH_SIZE; ++k)
            if (pSlot[k] != 0)
                return "garbage in an unused slot";
    }
    return NULL;
}

}  // namespace

CPlaylistFile::CPlaylistFile() : m_nCount(0)
{
    memset(m_szEntry, 0, sizeof(m_szEntry));
}

int CPlaylistFile::Load(const char* szPath)
{
    DeleteAll();
    FILE* fp = SYS_fopen(szPath, "rb");
    if (!fp)
        return 0;
    static unsigned char s_baImage[PLAYLIST_FILE_SIZE + 1];
    size_t nRead = fread(s_baImage, 1, sizeof(s_baImage), fp);
    int bReadError = ferror(fp);
    fclose(fp);
    const char* szFault = NULL;
    if (bReadError)
        szFault = "read error";
    else if (nRead != PLAYLIST_FILE_SIZE)
        szFault = nRead < PLAYLIST_FILE_SIZE ? "file too short" : "file too long";
    else
        szFault = ImageFault(s_baImage);
    if (szFault) {
        ERR_PRINT("playlist %s refused: %s\n", szPath, szFault);
        return 0;
    }
    m_nCount = static_cast<int32_t>(GetLE32(s_baImage));
    memcpy(m_szEntry, s_baImage + 4, sizeof(m_szEntry));
    return 1;
}

int CPlaylistFile::Save(const char* szPath)
{
    static unsigned char s_baImage[PLAYLIST_FILE_SIZE];
    PutLE32(s_baImage, static_cast<uint32_t>(m_nCount));
    memcpy(s_baImage + 4, m_szEntry, sizeof(m_szEntry));
    FILE* fp = SYS_fopen(szPath, "wb");
    if (!fp)
        return 0;
    int bOk = fwrite(s_baImage, 1, sizeof(s_baImage), fp) == sizeof(s_baImage);
    if (fclose(fp) != 0)
        bOk = 0;
    SYS_sync();
    if (!bOk)
        ERR_PRINT("playlist %s not saved\n%s\n", szPath, strerror(errno));
    return bOk;
}

int CPlaylistFile::Add(const char* szPath)
{
    if (m_nCount >= PLAYLIST_MAX_ENTRIES)
        return 0;
    if (!szPath || szPath[0] != '/' || strlen(szPath) >= PLAYLIST_PATH_SIZE)
        return 0;
    memset(m_szEntry[m_nCount], 0, PLAYLIST_PATH_SIZE);
    strcpy(m_szEntry[m_nCount], szPath);
    ++m_nCount;
    return 1;
}

void CPlaylistFile::Delete(int nIndex)
{
    if (nIndex < 0 || nIndex >= PLAYLIST_MAX_ENTRIES || nIndex >= m_nCount)
        return;
    memmove(m_szEntry[nIndex], m_szEntry[nIndex + 1], static_cast<size_t>(m_nCount - nIndex - 1) * PLAYLIST_PATH_SIZE);
    --m_nCount;
    memset(m_szEntry[m_nCount], 0, PLAYLIST_PATH_SIZE);
}

int CPlaylistFile::Delete(const char* szPath)
{
    int nIndex;
    while ((nIndex = SearchIndex(szPath)) >= 0)
        Delete(nIndex);
    return nIndex;
}

void CPlaylistFile::DeleteAll()
{
    m_nCount = 0;
    memset(m_szEntry, 0, sizeof(m_szEntry));
}

int CPlaylistFile::SearchIndex(const char* szPath)
{
    for (int i = 0; i < m_nCount; ++i)
        if (strcmp(m_szEntry[i], szPath) == 0)
            return i;
    return -1;
}

void CPlaylistFile::GetFilePath(int nIndex, char* szOut)
{
    if (nIndex < 0 || nIndex >= m_nCount) {
        szOut[0] = 0;
        return;
    }
    strcpy(szOut, m_szEntry[nIndex]);
}

void CPlaylistFile::Copy(CPlaylistFile& other)
{
    DeleteAll();
    for (int i = 0; i < other.m_nCount; ++i)
        Add(other.m_szEntry[i]);
}
