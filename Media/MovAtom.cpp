#include "Media/MovAtom.h"

#include "Lib/Log.h"
#include "Lib/Sys.h"

#include <stdlib.h>
#include <string.h>

DWORD MOV_FourCC(const char* szCode)
{
    return MOV_FOURCC(szCode[0], szCode[1], szCode[2], szCode[3]);
}

DWORD MOV_GetBE32(const unsigned char* p)
{
    return ((DWORD)p[0] << 24) | ((DWORD)p[1] << 16) | ((DWORD)p[2] << 8) | (DWORD)p[3];
}

void MOV_PutBE32(unsigned char* p, DWORD dw)
{
    p[0] = (unsigned char)(dw >> 24);
    p[1] = (unsigned char)(dw >> 16);
    p[2] = (unsigned char)(dw >> 8);
    p[3] = (unsigned char)dw;
}

// A new record; a short name (the zero terminator atom) is padded with zeros.
static MOV_ATOM* NewAtom(MOV_ATOM* pParent, const char* szName, long nPosition)
{
    MOV_ATOM* pAtom = (MOV_ATOM*)calloc(1, sizeof(MOV_ATOM));
    if (!pAtom) {
        ERR_PRINT("no memory for an atom record\n");
        abort();
    }
    for (int i = 0; i < 4 && szName[i]; ++i)
        pAtom->name[i] = szName[i];
    pAtom->type = MOV_FourCC(pAtom->name);
    pAtom->size = 8;
    pAtom->position = (int32_t)nPosition;
    pAtom->parent = pParent;
    return pAtom;
}

static void AtomHeader(unsigned char* p, const MOV_ATOM* pAtom)
{
    MOV_PutBE32(p, pAtom->size);
    memcpy(p + 4, pAtom->name, 4);
}

// ------------------------------------------------- shared atom operations

template <class T>
int CMovAtomOps<T>::WriteDWord(DWORD dwValue)
{
    unsigned char b[4];
    MOV_PutBE32(b, dwValue);
    return Self().Write(b, 4);
}

template <class T>
MOV_ATOM* CMovAtomOps<T>::CreateAtom(MOV_ATOM* pParent, const char* szName)
{
    MOV_ATOM* pAtom = NewAtom(pParent, szName, Self().AtomStart());
    unsigned char b[8];
    AtomHeader(b, pAtom);
    if (!Self().Write(b, 8)) {
        free(pAtom);
        return NULL;
    }
    return pAtom;
}

template <class T>
int CMovAtomOps<T>::WriteAtom(MOV_ATOM* pAtom, const void* pData, long nLength)
{
    if (nLength == 0)
        return TRUE;
    if (nLength < 0 || !Self().Write(pData, nLength))
        return FALSE;
    pAtom->size += (DWORD)nLength;
    return TRUE;
}

template <class T>
int CMovAtomOps<T>::WriteAtom(MOV_ATOM* pAtom, DWORD dwValue)
{
    unsigned char b[4];
    MOV_PutBE32(b, dwValue);
    return WriteAtom(pAtom, b, 4);
}

template <class T>
int CMovAtomOps<T>::CloseAtom(MOV_ATOM* pAtom)
{
    if (pAtom->parent)
        pAtom->parent->size += pAtom->size;
    int bOk = Self().PatchSize(pAtom);
    free(pAtom);
    return bOk;
}

template <class T>
int CMovAtomOps<T>::AddChild(MOV_ATOM* pParent, const char* szName, const void* pData, long nLength)
{
    MOV_ATOM* pAtom = CreateAtom(pParent, szName);
    if (!pAtom)
        return FALSE;
    int bOk = WriteAtom(pAtom, pData, nLength);
    return CloseAtom(pAtom) && bOk;
}

template class CMovAtomOps<class CMovWriter>;
template class CMovAtomOps<class CMemMovWriter>;

// ---------------------------------------------------------------- CMovWriter

CMovWriter::CMovWriter() : m_hLock(TH_CreateLock()), m_fp(NULL) {}

CMovWriter::~CMovWriter()
{
    Close();
    TH_DeleteLock(m_hLock);
}

void CMovWriter::Lock()
{
    TH_Lock(m_hLock);
}

void CMovWriter::Unlock()
{
    TH_Unlock(m_hLock);
}

int CMovWriter::Create(const char* szPath)
{
    if (m_fp)
        return FALSE;
    m_fp = SYS_fopen(szPath, "wb");
    return m_fp != NULL;
}

int CMovWriter::OpenForUpdate(const char* szPath)
{
    if (m_fp)
        return FALSE;
    m_fp = SYS_fopen(szPath, "r+b");
    return m_fp != NULL;
}

int CMovWriter::Flush()
{
    return m_fp && fflush(m_fp) == 0;
}

int CMovWriter::Sync()
{
    return m_fp && SYS_fdatasync(m_fp) == 0;
}

int CMovWriter::Seek(long nPos)
{
    return m_fp && fseeko(m_fp, (off_t)nPos, SEEK_SET) == 0;
}

int CMovWriter::Close()
{
    int bOk = TRUE;
    if (m_fp) {
        bOk = fclose(m_fp) == 0;
        m_fp = NULL;
    }
    return bOk;
}

int CMovWriter::Write(const void* pData, long nLength)
{
    if (nLength == 0)
        return TRUE;
    if (nLength < 0 || !m_fp)
        return FALSE;
    // stdio may count bytes it could not write: the error flag tells.
    return fwrite(pData, 1, (size_t)nLength, m_fp) == (size_t)nLength && !ferror(m_fp);
}

int CMovWriter::PatchSize(const MOV_ATOM* pAtom)
{
    int bOk = FALSE;
    if (m_fp) {
        off_t nEnd = ftello(m_fp);
        if (nEnd >= 0 && fseeko(m_fp, pAtom->position, SEEK_SET) == 0) {
            bOk = WriteDWord(pAtom->size);
            if (fseeko(m_fp, nEnd, SEEK_SET) != 0)
                bOk = FALSE;
        }
    }
    return bOk;
}

long CMovWriter::GetCurrentPos()
{
    return m_fp ? (long)ftello(m_fp) : -1;
}

// ------------------------------------------------------------- CMemMovWriter

CMemMovWriter::CMemMovWriter(unsigned char* pBuffer, long nCapacity)
    : m_hLock(TH_CreateLock()), m_pBuffer(pBuffer), m_nCapacity(nCapacity), m_nCursor(0), m_nLength(0)
{
}

CMemMovWriter::~CMemMovWriter()
{
    TH_DeleteLock(m_hLock);
}

void CMemMovWriter::Lock()
{
    TH_Lock(m_hLock);
}

void CMemMovWriter::Unlock()
{
    TH_Unlock(m_hLock);
}

int CMemMovWriter::Write(const void* pData, long nLength)
{
    if (nLength == 0)
        return TRUE;
    if (nLength < 0)
        return FALSE;
    if (nLength > m_nCapacity - m_nCursor) {
        printf("CMemMovWriter()::Write()::error!! buffer over!!\n");
        return FALSE;
    }
    memcpy(m_pBuffer + m_nCursor, pData, (size_t)nLength);
    m_nCursor += nLength;
    if (m_nCursor > m_nLength)
        m_nLength = m_nCursor;
    return TRUE;
}

int CMemMovWriter::PatchSize(const MOV_ATOM* pAtom)
{
    long nSaved = m_nCursor;
    m_nCursor = pAtom->position;
    int bOk = WriteDWord(pAtom->size);
    m_nCursor = nSaved;
    return bOk;
}
