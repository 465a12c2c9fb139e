// QuickTime atoms: the record of one atom, and the writers that put atoms
// into a file or into a memory buffer, patching each size when it closes.
#ifndef MEDIA_MOVATOM_H
#define MEDIA_MOVATOM_H

#include "Lib/Thread.h"

#include <stdint.h>
#include <stdio.h>

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// A four-character code as the program compares it: the four bytes in file
// order read as one little-endian integer.
#define MOV_FOURCC(a, b, c, d) \
    ((DWORD)(unsigned char)(a) | ((DWORD)(unsigned char)(b) << 8) | ((DWORD)(unsigned char)(c) << 16) | ((DWORD)(unsigned char)(d) << 24))

DWORD MOV_FourCC(const char* szCode);     // the first four bytes of szCode
DWORD MOV_GetBE32(const unsigned char* p);
void MOV_PutBE32(unsigned char* p, DWORD dw);

struct MOV_ATOM
{
    char name[8];        // the four type characters, then zeros
    DWORD type;          // the same bytes as a little-endian integer
    DWORD size;          // reader: payload size; writers: whole atom so far
    int32_t position;    // offset of the first header byte
    MOV_ATOM* parent;    // none at top level
};

// The atom operations both writers share. T provides Write(), AtomStart()
// (where the next byte goes) and PatchSize() (writes a closed atom's size
// into its header).
template <class T>
class CMovAtomOps
{
public:
    int WriteDWord(DWORD dwValue);
    MOV_ATOM* CreateAtom(MOV_ATOM* pParent, const char* szName);
    int WriteAtom(MOV_ATOM* pAtom, const void* pData, long nLength);
    int WriteAtom(MOV_ATOM* pAtom, DWORD dwValue);
    int CloseAtom(MOV_ATOM* pAtom);
    int AddChild(MOV_ATOM* pParent, const char* szName, const void* pData, long nLength);

private:
    T& Self() { return static_cast<T&>(*this); }
};

class CMovWriter : public CMovAtomOps<CMovWriter>
{
    friend class CMovAtomOps<CMovWriter>;

public:
    CMovWriter();
    ~CMovWriter();

    void Lock();
    void Unlock();

    int Create(const char* szPath);
    // An existing file, to be written in place ("r+b").
    int OpenForUpdate(const char* szPath);
    // FALSE when the last buffered bytes did not reach the file.
    int Close();

    int Write(const void* pData, long nLength);
    // Hands the buffered bytes to the file system; Sync waits until they
    // are on the card.
    int Flush();
    int Sync();
    int Seek(long nPos);

    long GetCurrentPos();

private:
    long AtomStart() { return GetCurrentPos(); }
    int PatchSize(const MOV_ATOM* pAtom);

    CMovWriter(const CMovWriter&);
    CMovWriter& operator=(const CMovWriter&);

    void* m_hLock;
    FILE* m_fp;
};

// The same operations into a caller-owned buffer.
class CMemMovWriter : public CMovAtomOps<CMemMovWriter>
{
    friend class CMovAtomOps<CMemMovWriter>;

public:
    CMemMovWriter(unsigned char* pBuffer, long nCapacity);
    ~CMemMovWriter();

    void Lock();
    void Unlock();

    int Write(const void* pData, long nLength);

    unsigned char* GetBuf() { return m_pBuffer; }
    long GetCurrentPos() { return m_nLength; }  // size of the assembled data

private:
    long AtomStart() { return m_nCursor; }
    int PatchSize(const MOV_ATOM* pAtom);

    CMemMovWriter(const CMemMovWriter&);
    CMemMovWriter& operator=(const CMemMovWriter&);

    void* m_hLock;
    unsigned char* m_pBuffer;
    long m_nCapacity;
    long m_nCursor;
    long m_nLength;
};

#endif
