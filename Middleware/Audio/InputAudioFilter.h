// The input filter of the captured sound: low cut and equaliser.
#ifndef MIDDLEWARE_AUDIO_INPUTAUDIOFILTER_H
#define MIDDLEWARE_AUDIO_INPUTAUDIOFILTER_H

class CInputAudioFilter
{
public:
    // 0 off, 1 = 40 Hz, 2 = 80 Hz, 3 = 120 Hz.
    void SetLcfLevel(int nLevel);
    int GetLcfLevel() { return m_nLcfLevel; }

private:
    int m_nLcfLevel = 0;
};

#endif
