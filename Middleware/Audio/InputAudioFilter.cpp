// The filtering arrives with the sound issue; until then the filter only
// keeps its low-cut level.
#include "Middleware/Audio/InputAudioFilter.h"

void CInputAudioFilter::SetLcfLevel(int nLevel)
{
    m_nLcfLevel = nLevel;
}
