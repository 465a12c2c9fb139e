// The card-space account that every writer reduces as it writes.
#ifndef MEDIA_REMAINMEDIA_H
#define MEDIA_REMAINMEDIA_H

#include <stdint.h>

class CRemainMedia
{
public:
    void Update();
    void Subtraction(int64_t nBytes);
    int IsAvaiableSpace();
    int64_t GetRemainSize() { return m_nRemain; }
    int64_t GetTotalSize() { return m_nTotal; }
    uint32_t GetClusterSize() { return m_dwClusterSize; }

private:
    int64_t m_nRemain = 0;
    int64_t m_nTotal = 0;
    uint32_t m_dwClusterSize = 0;
};

extern CRemainMedia g_RemainMedia;

#endif
