#include "Media/RemainMedia.h"

#include "Lib/Common.h"
#include "Lib/Sys.h"

CRemainMedia g_RemainMedia;

// Below 35 MiB the card counts as full when measured; writing stops under 30 MiB.
#define REMAIN_UPDATE_FLOOR 36700160LL
#define REMAIN_WRITE_FLOOR 31457280LL

void CRemainMedia::Update()
{
    char szRoot[256];
    ToRealPath(szRoot, "/");
    struct statvfs st;
    if (SYS_statvfs(szRoot, &st) != 0) {
        m_nRemain = 0;
        m_nTotal = 0;
        m_dwClusterSize = 0;
        return;
    }
    m_nRemain = static_cast<int64_t>(st.f_frsize) * static_cast<int64_t>(st.f_bavail);
    if (m_nRemain < REMAIN_UPDATE_FLOOR)
        m_nRemain = 0;
    m_nTotal = static_cast<int64_t>(st.f_frsize) * static_cast<int64_t>(st.f_blocks);
    m_dwClusterSize = static_cast<uint32_t>(st.f_bsize);
}

void CRemainMedia::Subtraction(int64_t nBytes)
{
    m_nRemain -= nBytes;
}

int CRemainMedia::IsAvaiableSpace()
{
    return m_nRemain > REMAIN_WRITE_FLOOR;
}
