// Recordings cut short by a power loss or a pulled card: a movie whose
// "mdat" was never closed gets its index back from the journal its
// recorder kept beside it, a WAV file its real sizes. The files keep their
// names and every frame and sound block that reached the card.
#ifndef MEDIA_RECOVERY_H
#define MEDIA_RECOVERY_H

#include "Lib/Thread.h"

#include <stddef.h>

// The journal: a 36-byte head (RCV_PutJournalHead), then one big-endian
// word per sample in file order, (type << 30) | bytes; a DSI record is
// followed by the stream's configuration header, padded to 4 bytes.
#define RCV_JOURNAL_HEAD_SIZE 36
#define RCV_JOURNAL_VIDEO 1
#define RCV_JOURNAL_SOUND 2
#define RCV_JOURNAL_DSI 3

// Recorders sync their files every this many 100 ms sound blocks.
#define RCV_SYNC_BLOCKS 10

// Results of the recovery of one file.
#define RCV_FAILED -1     // left as it was (a message says why)
#define RCV_COMPLETE 0    // nothing to do
#define RCV_RECOVERED 1
#define RCV_REMOVED 2     // it held no playable sample: removed

// ".NAME.jnl" in the movie's folder.
void RCV_JournalPath(char* szOut, size_t nSize, const char* szMoviePath);
void RCV_PutJournalHead(unsigned char* p, int nWidth, int nHeight, int nFps, int nSampleRate, int nBits,
                        int nChannels, DWORD dwTime);
DWORD RCV_JournalRecord(int nType, int nBytes);

// One file, on the card or anywhere the seam reaches. szJournal may be
// null: the movie's own journal is used.
int RCV_RecoverMovie(const char* szPath, const char* szJournal);
int RCV_RecoverWav(const char* szPath);

// Every recording of the card in the slot; returns how many were recovered
// and adds them to g_nRecoveredFiles, which the main loop shows.
int RCV_RecoverCard(void);

extern int g_nRecoveredFiles;

#endif
