// The movie recorder: the creator fed from the encoder's queue, the capture
// thread's sound queue and the pre-record rings.
#ifndef MEDIA_MOVRECORDER_H
#define MEDIA_MOVRECORDER_H

#include "Media/MovCreator.h"

class CMovRecorder : public CMovCreator
{
public:
    // A recording cut by a power loss is rebuilt from its journal.
    CMovRecorder() { EnableJournal(1); }
    virtual ~CMovRecorder() {}

    virtual void PostCreateFile(const char* szPath);
    virtual int GetAudio(unsigned char* pBuffer);
    virtual int GetVideo(unsigned char* pBuffer);
    virtual void PreLoop();
    virtual void PostAddVideoFrame();
    virtual void PostAddAudioFrame();

    // The next queued frame or sound buffer copied into pBuffer (its size,
    // or 0). A frame that does not fit is dropped; the queue buffer goes back.
    int TakeQueuedVideo(unsigned char* pBuffer, int nCapacity);
    int TakeQueuedAudio(unsigned char* pBuffer, int nCapacity);

    // After a file ended for a split: moves what was kept for the next file
    // (frames that arrived after the split, the sound beyond the file's end)
    // into the rings, read from slot 0. Returns 1 when the video ring starts
    // with a key frame, 0 when no frame was kept, -1 when the kept frames do
    // not start with one (they are dropped).
    int KeepSplitRemainder();

private:
    void TryEndSplit();
};

extern CMovRecorder g_RecorderMov;

#endif
