// Every playable file as a MOV-like set of tracks: movies through the movie
// reader, WAV files as one sound track (with the picture of a JPEG of the
// same name beside it as a second track), JPEG photos as one-frame movies.
#ifndef MEDIA_MEDIAREADER_H
#define MEDIA_MEDIAREADER_H

#include "Media/MovReader.h"
#include "media-stack/Dmai.h"

class CMediaReader : public CMovReader
{
public:
    CMediaReader();

    int ReadAtomHeader(MOV_ATOM* pAtom) override;
    int Read(MOV_ATOM* pParent, long nEnd) override;
    ~CMediaReader() override;
    // 0 opened, 1 the file cannot be opened, 2 not a file the player can play.
    int Open(const char* szPath) override;
    int GetSamplePos(int nKind, int nIndex, long* pnOffset, int* pnSize, int* pnCount, int* pnTotal) override;
    int Read(void* pBuffer, long nOffset, int nSize) override;

    // The decoded still picture (owned by the JPEG module, valid until its
    // next decode), or none.
    Buffer_Handle GetImage() { return m_hImage; }
    // The whole file's duration in ms.
    DWORD GetDuration() { return m_dwDuration; }

private:
    int OpenWav(const char* szPath);
    int OpenJpeg(const char* szPath);
    int CheckMovie();
    int ReadLE32(long nOffset, DWORD* pdwValue);
    void AddImageTrack(Buffer_Handle hImage);

    Buffer_Handle m_hImage;
};

#endif
