// The time stretching arrives with the player issue; until then the filter
// only keeps the requested speed.
#include "Middleware/Audio/VSAFilter.h"

void CVSAFilter::SetSpeed(float fSpeed)
{
    m_fSpeed = fSpeed;
}
