// The variable-speed filter: playback speed without a change of pitch.
#ifndef MIDDLEWARE_AUDIO_VSAFILTER_H
#define MIDDLEWARE_AUDIO_VSAFILTER_H

class CVSAFilter
{
public:
    // Requested speed, 0.5 to 1.5 (0 while the speed control does not apply).
    void SetSpeed(float fSpeed);
    float GetSpeed() { return m_fSpeed; }

private:
    float m_fSpeed = 1.0f;
};

#endif
