// The stereo codec through ALSA: one sound object, open for playback, for
// capture, or for capture with a monitor playback beside it; and the codec's
// mixer controls.
#include "DrvLib/Sound.h"

#include "Lib/Global.h"
#include "Lib/Log.h"
#include "Lib/Thread.h"
#include "Middleware/GUI/Recorder.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#define SOUND_DEVICE "plughw:0,0"
#define MIXER_DEVICE "hw:0"

static Sound_Object s_tSoundObject;
static Sound_Object* m_hSound = nullptr;
static snd_mixer_t* s_hMixer = nullptr;
static void* s_pLock = nullptr;       // open, close and playback writes
static void* s_pLockMixer = nullptr;  // every mixer access; taken after s_pLock

const Sound_Object* SND_GetObject(void)
{
    return m_hSound;
}

// ---- Mixer ----------------------------------------------------------------

static void CloseMixerLocked(void)
{
    if (s_hMixer) {
        snd_mixer_close(s_hMixer);
        s_hMixer = nullptr;
    }
}

void SND_ValInit(void)
{
    if (!s_pLock)
        s_pLock = TH_CreateLock();
    if (!s_pLockMixer)
        s_pLockMixer = TH_CreateLock();

    TH_Lock(s_pLockMixer);
    CloseMixerLocked();
    int nErr = snd_mixer_open(&s_hMixer, 0);
    if (nErr < 0) {
        ERR_PRINT("Failed to open mixer on %s (%s)\n", MIXER_DEVICE, snd_strerror(nErr));
        s_hMixer = nullptr;
    } else if ((nErr = snd_mixer_attach(s_hMixer, MIXER_DEVICE)) < 0) {
        ERR_PRINT("Failed to attach mixer on %s (%s)\n", MIXER_DEVICE, snd_strerror(nErr));
        CloseMixerLocked();
    } else if ((nErr = snd_mixer_selem_register(s_hMixer, nullptr, nullptr)) < 0) {
        ERR_PRINT("Failed to register mixer on %s (%s)\n", MIXER_DEVICE, snd_strerror(nErr));
        CloseMixerLocked();
    } else if ((nErr = snd_mixer_load(s_hMixer)) < 0) {
        ERR_PRINT("Failed to load mixer on %s (%s)\n", MIXER_DEVICE, snd_strerror(nErr));
        CloseMixerLocked();
    }
    TH_Unlock(s_pLockMixer);
}

void SND_ValExit(void)
{
    SND_CloseMixer();
    void* pLock = s_pLockMixer;
    s_pLockMixer = nullptr;
    TH_DeleteLock(pLock);
}

void SND_CloseMixer(void)
{
    TH_Lock(s_pLockMixer);
    CloseMixerLocked();
    TH_Unlock(s_pLockMixer);
}

// The simple element named szControl, or none (reported). Mixer lock held.
static snd_mixer_elem_t* FindElement(const char* szControl)
{
    snd_mixer_selem_id_t* pId;
    snd_mixer_selem_id_alloca(&pId);
    snd_mixer_selem_id_set_index(pId, 0);
    snd_mixer_selem_id_set_name(pId, szControl);
    snd_mixer_elem_t* pElem = snd_mixer_find_selem(s_hMixer, pId);
    if (!pElem)
        ERR_PRINT("Failed to find selem %s (%s)\n", szControl, MIXER_DEVICE);
    return pElem;
}

// Takes the mixer lock and finds the control; on failure the lock is given
// back and null returned.
static snd_mixer_elem_t* LockElement(const char* szControl)
{
    TH_Lock(s_pLockMixer);
    snd_mixer_elem_t* pElem = s_hMixer ? FindElement(szControl) : nullptr;
    if (!pElem)
        TH_Unlock(s_pLockMixer);
    return pElem;
}

int SND_SetMixer(const char* szControl, const char* szValue)
{
    snd_mixer_elem_t* pElem = LockElement(szControl);
    if (!pElem)
        return -1;
    int nItems = snd_mixer_selem_get_enum_items(pElem);
    for (int i = 0; i < nItems; ++i) {
        char szName[40];
        if (snd_mixer_selem_get_enum_item_name(pElem, i, sizeof(szName), szName) < 0)
            continue;
        szName[sizeof(szName) - 1] = 0;
        if (strcmp(szName, szValue) == 0) {
            snd_mixer_selem_set_enum_item(pElem, SND_MIXER_SCHN_FRONT_LEFT, i);
            break;
        }
    }
    TH_Unlock(s_pLockMixer);
    return 0;
}

int SND_SetPlayVolume(int nLevel)
{
    snd_mixer_elem_t* pElem = LockElement("Line out DAC");
    if (!pElem)
        return -1;
    if (snd_mixer_selem_has_playback_channel(pElem, SND_MIXER_SCHN_FRONT_LEFT)) {
        long nMin = 0, nMax = 0;
        snd_mixer_selem_get_playback_volume_range(pElem, &nMin, &nMax);
        snd_mixer_selem_set_playback_volume(pElem, SND_MIXER_SCHN_FRONT_LEFT, nMin + (nMax - nMin) * nLevel / 35);
    }
    TH_Unlock(s_pLockMixer);
    return 0;
}

int SND_SetRecVolume(int nLevel)
{
    snd_mixer_elem_t* pElem = LockElement("Capture PGA");
    if (!pElem)
        return -1;
    if (snd_mixer_selem_has_capture_channel(pElem, SND_MIXER_SCHN_FRONT_LEFT)) {
        long nMin = 0, nMax = 0;
        snd_mixer_selem_get_capture_volume_range(pElem, &nMin, &nMax);
        snd_mixer_selem_set_capture_volume(pElem, SND_MIXER_SCHN_FRONT_LEFT, nMin + (nMax - nMin) * nLevel / 127);
    }
    TH_Unlock(s_pLockMixer);
    return 0;
}

int SND_DAC_Mute(int bOn)
{
    return SND_SetMixer("DAC Mute", bOn ? "On" : "Off");
}

int SND_ADC_Mute(int bOn)
{
    return SND_SetMixer("ADC Mute", bOn ? "On" : "Off");
}

// ---- PCM parameters ---------------------------------------------------------

static int SetHwParams(snd_pcm_t* hPcm, snd_pcm_hw_params_t* pHw, int bCapture)
{
    Sound_Object* pObj = &s_tSoundObject;
    int nErr = snd_pcm_hw_params_any(hPcm, pHw);
    if (nErr < 0) {
        ERR_PRINT("Failed to init ALSA hardware param structure on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    nErr = snd_pcm_hw_params_set_access(hPcm, pHw, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (nErr < 0) {
        ERR_PRINT("Failed to set ALSA access type on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    if (pObj->nBits == 16)
        nErr = snd_pcm_hw_params_set_format(hPcm, pHw, SND_PCM_FORMAT_S16_LE);
    else if (pObj->nBits == 24)
        nErr = snd_pcm_hw_params_set_format(hPcm, pHw, SND_PCM_FORMAT_S24_3LE);
    else
        nErr = -EINVAL;
    if (nErr < 0) {
        ERR_PRINT("Failed to set sample format on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    unsigned int nRate = static_cast<unsigned int>(pObj->nSampleRate);
    nErr = snd_pcm_hw_params_set_rate_near(hPcm, pHw, &nRate, nullptr);
    if (nErr < 0) {
        ERR_PRINT("Failed to set sample rate to %d on %s (%s)\n", pObj->nSampleRate, SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    nErr = snd_pcm_hw_params_set_channels(hPcm, pHw, pObj->nChannels);
    if (nErr < 0) {
        ERR_PRINT("Failed to set channel count to %d on %s (%s)\n", pObj->nChannels, SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    snd_pcm_uframes_t nPeriod = static_cast<snd_pcm_uframes_t>(pObj->nPeriodSize);
    nErr = snd_pcm_hw_params_set_period_size_near(hPcm, pHw, &nPeriod, nullptr);
    if (nErr < 0) {
        ERR_PRINT("Failed to set the period size to %ld on %s (%s)\n", static_cast<long>(pObj->nPeriodSize), SOUND_DEVICE,
                  snd_strerror(nErr));
        return 0;
    }
    pObj->nPeriodSize = static_cast<int>(nPeriod);
    unsigned int nBufferTime = 0;
    nErr = snd_pcm_hw_params_get_buffer_time_max(pHw, &nBufferTime, nullptr);
    if (nErr < 0) {
        ERR_PRINT("Failed to get maximum buffer time on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    unsigned int nCap = bCapture ? 1000000 : 500000;
    if (nBufferTime > nCap)
        nBufferTime = nCap;
    nErr = snd_pcm_hw_params_set_buffer_time_near(hPcm, pHw, &nBufferTime, nullptr);
    if (nErr < 0) {
        ERR_PRINT("Failed to set maximum buffer time on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    nErr = snd_pcm_hw_params(hPcm, pHw);
    if (nErr < 0) {
        ERR_PRINT("Failed to set ALSA parameters on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    snd_pcm_uframes_t nBuffer = 0;
    snd_pcm_hw_params_get_period_size(pHw, &nPeriod, nullptr);
    snd_pcm_hw_params_get_buffer_size(pHw, &nBuffer);
    pObj->nPeriodSize = static_cast<int>(nPeriod);
    pObj->nBufferSize = static_cast<int>(nBuffer);
    if (nPeriod == nBuffer) {
        ERR_PRINT("Can't use period size equal to buf size (%ld == %ld)\n", static_cast<long>(nPeriod),
                  static_cast<long>(nBuffer));
        return 0;
    }
    return 1;
}

static int SetSwParams(snd_pcm_t* hPcm, snd_pcm_sw_params_t* pSw, int bCapture)
{
    Sound_Object* pObj = &s_tSoundObject;
    int nErr = snd_pcm_sw_params_current(hPcm, pSw);
    if (nErr < 0) {
        ERR_PRINT("Failed to read the current swparams on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    long nAvailMin = pObj->nPeriodSize;
    nErr = snd_pcm_sw_params_set_avail_min(hPcm, pSw, static_cast<snd_pcm_uframes_t>(nAvailMin));
    if (nErr < 0) {
        ERR_PRINT("Failed to set avail min to (%ld) on %s (%s)\n", nAvailMin, SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    long nStart;
    if (bCapture)
        nStart = 1;
    else if (pObj->eMode == SOUND_MODE_REC_MONITOR)
        nStart = pObj->nBufferSize / 20;
    else
        nStart = pObj->nBufferSize;
    nErr = snd_pcm_sw_params_set_start_threshold(hPcm, pSw, static_cast<snd_pcm_uframes_t>(nStart));
    if (nErr < 0) {
        ERR_PRINT("Failed to set start threashold to (%ld) on %s (%s)\n", nStart, SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    long nStop = pObj->nBufferSize;
    nErr = snd_pcm_sw_params_set_stop_threshold(hPcm, pSw, static_cast<snd_pcm_uframes_t>(nStop));
    if (nErr < 0) {
        ERR_PRINT("Failed to set start threashold to (%ld) on %s (%s)\n", nStop, SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    nErr = snd_pcm_sw_params(hPcm, pSw);
    if (nErr < 0) {
        ERR_PRINT("Failed to set swparams on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    return 1;
}

// ---- Open and close ---------------------------------------------------------

static void ReleaseObject(Sound_Object* pObj)
{
    if (pObj->hCapture)
        snd_pcm_close(pObj->hCapture);
    if (pObj->hPlayback)
        snd_pcm_close(pObj->hPlayback);
    if (pObj->pCaptureHwParams)
        snd_pcm_hw_params_free(pObj->pCaptureHwParams);
    if (pObj->pPlaybackHwParams)
        snd_pcm_hw_params_free(pObj->pPlaybackHwParams);
    if (pObj->pCaptureSwParams)
        snd_pcm_sw_params_free(pObj->pCaptureSwParams);
    if (pObj->pPlaybackSwParams)
        snd_pcm_sw_params_free(pObj->pPlaybackSwParams);
    pObj->hCapture = nullptr;
    pObj->hPlayback = nullptr;
    pObj->pCaptureHwParams = nullptr;
    pObj->pPlaybackHwParams = nullptr;
    pObj->pCaptureSwParams = nullptr;
    pObj->pPlaybackSwParams = nullptr;
}

static int AllocParams(snd_pcm_hw_params_t** ppHw, snd_pcm_sw_params_t** ppSw)
{
    int nErr = snd_pcm_hw_params_malloc(ppHw);
    if (nErr < 0) {
        ERR_PRINT("Failed to alloc hardware param structure on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    nErr = snd_pcm_sw_params_malloc(ppSw);
    if (nErr < 0) {
        ERR_PRINT("Failed to alloc software param structure on %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        return 0;
    }
    return 1;
}

static int OpenCapture(Sound_Object* pObj)
{
    if (!AllocParams(&pObj->pCaptureHwParams, &pObj->pCaptureSwParams))
        return 0;
    int nErr = snd_pcm_open(&pObj->hCapture, SOUND_DEVICE, SND_PCM_STREAM_CAPTURE, 0);
    if (nErr < 0) {
        ERR_PRINT("Failed to open ALSA sound device for input %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        pObj->hCapture = nullptr;
        return 0;
    }
    return SetHwParams(pObj->hCapture, pObj->pCaptureHwParams, 1) && SetSwParams(pObj->hCapture, pObj->pCaptureSwParams, 1);
}

static int OpenPlayback(Sound_Object* pObj)
{
    int nErr = snd_pcm_open(&pObj->hPlayback, SOUND_DEVICE, SND_PCM_STREAM_PLAYBACK, 0);
    if (nErr < 0) {
        ERR_PRINT("Failed to open ALSA sound device for output %s (%s)\n", SOUND_DEVICE, snd_strerror(nErr));
        pObj->hPlayback = nullptr;
        return 0;
    }
    if (!AllocParams(&pObj->pPlaybackHwParams, &pObj->pPlaybackSwParams))
        return 0;
    return SetHwParams(pObj->hPlayback, pObj->pPlaybackHwParams, 0) &&
           SetSwParams(pObj->hPlayback, pObj->pPlaybackSwParams, 0);
}

int SND_Init(int nMode, int nRate, int nBits, int nChannels)
{
    SND_Exit();

    int bExCap = GetActionMode() == ACTION_MODE_MOVIE && nMode == SOUND_MODE_REC_MONITOR && nBits == 24 &&
                 !g_bAfterRecording && !g_bAfterRecMode;
    SND_SetMixer("ExCap", bExCap ? "On" : "Off");

    TH_Lock(s_pLock);
    Sound_Object* pObj = &s_tSoundObject;
    pObj->nPeriodSize = nMode == SOUND_MODE_PLAY ? nRate / 50 : nRate / 200;
    pObj->nBufferSize = 0;
    pObj->nSampleRate = nRate;
    pObj->nBits = nBits;
    pObj->nChannels = static_cast<short>(nChannels);
    pObj->eMode = static_cast<Sound_Mode>(nMode);
    pObj->nBytesPerFrame = nChannels * (nBits / 8);
    pObj->hCapture = nullptr;
    pObj->hPlayback = nullptr;
    pObj->pCaptureHwParams = nullptr;
    pObj->pPlaybackHwParams = nullptr;
    pObj->pCaptureSwParams = nullptr;
    pObj->pPlaybackSwParams = nullptr;

    int bOk = 1;
    if (nMode == SOUND_MODE_REC || nMode == SOUND_MODE_REC_MONITOR)
        bOk = OpenCapture(pObj);
    if (bOk && (nMode == SOUND_MODE_PLAY || nMode == SOUND_MODE_REC_MONITOR))
        bOk = OpenPlayback(pObj);
    if (bOk) {
        m_hSound = pObj;
    } else {
        ReleaseObject(pObj);
        m_hSound = nullptr;
    }
    TH_Unlock(s_pLock);
    return m_hSound != nullptr;
}

void SND_Exit(void)
{
    TH_Lock(s_pLock);
    if (m_hSound) {
        // The output is driven to zero first, so no click reaches the line out.
        SND_SetMixer("Zero Output", "Enable");
        SleepMS(50);
        ReleaseObject(m_hSound);
        snd_config_update_free_global();
        m_hSound = nullptr;
    }
    TH_Unlock(s_pLock);
}

// ---- Transfers --------------------------------------------------------------

static int XrunRecovery(snd_pcm_t* hPcm, int nErr)
{
    printf("xrunRecovery()::%lu\n", static_cast<unsigned long>(GetTime()));
    if (nErr == -EPIPE) {
        nErr = snd_pcm_prepare(hPcm);
        if (nErr < 0) {
            ERR_PRINT("Failed to recover from over or underrun on %s\n", SOUND_DEVICE);
            return nErr;
        }
        return 0;
    }
    if (nErr == -ESTRPIPE) {
        while ((nErr = snd_pcm_resume(hPcm)) == -EAGAIN)
            SleepMS(1000);
        nErr = snd_pcm_prepare(hPcm);
        if (nErr < 0) {
            ERR_PRINT("Failed to recover from over or underrun on %s\n", SOUND_DEVICE);
            return nErr;
        }
        return 0;
    }
    ERR_PRINT("xrunRecovery();%d\n", nErr);
    return nErr;
}

int SND_Read(void* pBuffer, int nBytes)
{
    Sound_Object* pObj = m_hSound;
    if (!pObj || pObj->eMode == SOUND_MODE_PLAY || !pObj->hCapture)
        return 0;
    snd_pcm_sframes_t nFrames = nBytes / pObj->nBytesPerFrame;
    char* p = static_cast<char*>(pBuffer);
    while (nFrames > 0) {
        snd_pcm_sframes_t nRead = snd_pcm_readi(pObj->hCapture, p, static_cast<snd_pcm_uframes_t>(nFrames));
        if (nRead == -EAGAIN)
            continue;
        if (nRead < 0) {
            if (XrunRecovery(pObj->hCapture, static_cast<int>(nRead)) < 0) {
                ERR_PRINT("Failed to read from %s [%ld] (%s)\n", SOUND_DEVICE, static_cast<long>(nRead),
                          snd_strerror(static_cast<int>(nRead)));
                return 0;
            }
            continue;
        }
        p += nRead * pObj->nBytesPerFrame;
        nFrames -= nRead;
        if (nFrames > 0)
            printf("readSamples=%ld [%lu]\n", static_cast<long>(nFrames), static_cast<unsigned long>(GetTime()));
    }
    return 0;
}

int SND_Write(const void* pBuffer, int nBytes)
{
    TH_Lock(s_pLock);
    Sound_Object* pObj = m_hSound;
    if (!pObj || pObj->eMode == SOUND_MODE_REC || !pObj->hPlayback) {
        TH_Unlock(s_pLock);
        return 0;
    }
    snd_pcm_sframes_t nFrames = nBytes / pObj->nBytesPerFrame;
    const char* p = static_cast<const char*>(pBuffer);
    while (nFrames > 0) {
        snd_pcm_sframes_t nWritten = snd_pcm_writei(pObj->hPlayback, p, static_cast<snd_pcm_uframes_t>(nFrames));
        if (nWritten == -EAGAIN)
            continue;
        if (nWritten < 0) {
            if (XrunRecovery(pObj->hPlayback, static_cast<int>(nWritten)) < 0) {
                ERR_PRINT("Failed to write to %s (%s) [%ld]\n", SOUND_DEVICE, snd_strerror(static_cast<int>(nWritten)),
                          static_cast<long>(nWritten));
                break;
            }
            continue;
        }
        p += nWritten * pObj->nBytesPerFrame;
        nFrames -= nWritten;
        if (nFrames > 0) {
            if (pObj->eMode == SOUND_MODE_REC_MONITOR)
                printf("writeSamples=%ld [%lu]\n", static_cast<long>(nFrames), static_cast<unsigned long>(GetTime()));
            else
                SleepMS(30);
        }
    }
    TH_Unlock(s_pLock);
    return 0;
}

void SND_Wait(void)
{
    for (;;) {
        TH_Lock(s_pLock);
        Sound_Object* pObj = m_hSound;
        snd_pcm_sframes_t nDelay = 0;
        int bDone = !pObj || !pObj->hPlayback || snd_pcm_delay(pObj->hPlayback, &nDelay) < 0 ||
                    nDelay < pObj->nBufferSize;
        TH_Unlock(s_pLock);
        if (bDone)
            return;
        SleepMS(10);
    }
}
