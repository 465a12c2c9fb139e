#include "Lib/Parameter.h"

#include "Lib/NVRAM.h"
#include "Middleware/GUI/Recorder.h"
#include "player/Player.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define L MENU_TYPE_LIST
#define R MENU_TYPE_RANGE
#define A MENU_TYPE_ACTION
#define P MENU_TYPE_PAGES

static const MENU_INFO s_MenuDefaults = {
    0,
    {
        {"Input Setting", 0, 0,
         {
             {"MIC GAIN", L, 0, {"LOW", "MID", "HIGH"}},
             {"LEVEL CONTROL", L, 0, {"OFF", "AUTO", "LIMITER"}},
             {"LOW CUT", L, 0, {"OFF", "40Hz", "80Hz", "120Hz"}},
             {"INPUT SELECT", L, 0, {"MIC", "LINE"}},
             {"PLUG IN POWER", L, 0, {"OFF", "ON"}},
             {"L/R SWAP", L, 0, {"L-R", "R-L"}},
             {"INPUT TYPE", L, 2, {"2:STEREO", "1:MONO"}},
         }},
        {"Rec Option", 0, 0,
         {
             {"SELF TIMER", L, 0, {"0:OFF", "2:2 sec", "10:10 sec"}},
             {"PRE REC", L, 0, {"OFF", "ON"}},
             {"AUTO REC MODE", L, 0, {"OFF", "PAUSE", "FILE INC"}},
             {"AUTO REC LEVEL", L, 0, {"-48:-48dB", "-24:-24dB", "-12:-12dB", "-6:-6dB"}},
             {"WHITE BALANCE", L, 0, {"AUTO", "BULB LIGHT", "FL LIGHT", "STAGE LIGHT", "SUNLIGHT", "CLOUDY"}},
         }},
        {"Play Option", 0, 0,
         {
             {"PLAY AREA", L, 0, {"ALL", "FOLDER", "PLAY LIST"}},
             {"REPEAT", L, 0, {"OFF", "ON", "SINGLE"}},
             {"SLIDE SHOW", R, 3, {"1", "10", "1", "%.0f sec"}},
             {"CUE/REV SPEED", R, 2, {"2", "10", "1", "x %.0f"}},
         }},
        {"PB Control", 0, 0,
         {
             {"SPEED", R, 1.0f, {"0.5", "1.5", "0.1", "x %.1f"}},
         }},
        {"REC Quality", 0, 0,
         {
             {"SOUND FORMAT", L, 16, {"16:WAV 16bit", "24:WAV 24bit"}},
             {"SAMPLE RATE", L, 44100, {"44100:44.1kHz", "48000:48kHz", "96000:96kHz"}},
             {"IMAGE SIZE", L, 1280, {"1280:HD / 0.9M", "640:SD / 0.3M"}},
         }},
        {"Setup", 0, 0,
         {
             {"AUTO OFF", L, 30, {"0:OFF", "3:3min", "5:5min", "10:10min", "30:30min"}},
             {"BACKLIGHT", L, 0, {"0:ON", "5:OFF 5sec", "10:OFF 10sec", "15:OFF 15sec", "30:OFF 30sec"}},
             {"DIMMER", L, 4, {"4:HIGH", "2:LOW", "0:ALL OFF"}},
             {"BATTERY", L, 0, {"ALKAL", "NiMH"}},
             {"FILE NAME", A, 0, {"WORD", "DATE"}},
             {"DATE/TIME", A, 0, {nullptr}},
             {"SD FORMAT", A, 0, {nullptr}},
             {"INITIALIZE", A, 0, {nullptr}},
             {"INFORMATION", P, 0, {"FILE", "CARD", "SYSTEM"}},
         }},
        {"PLAY LIST", 0, 0, {}},
        {"BROWSE", 0, 0, {}},
    },
};

#undef L
#undef R
#undef A
#undef P

static MENU_INFO s_MenuInfo = s_MenuDefaults;

MENU_INFO* GetMenuInfo(void)
{
    return &s_MenuInfo;
}

void MENU_ResetDefaults(void)
{
    s_MenuInfo = s_MenuDefaults;
}

MENU_ITEM* FindL2(const char* szKey)
{
    if (!szKey || szKey[0] != '/')
        return nullptr;
    const char* szGroup = szKey + 1;
    const char* pSlash = strchr(szGroup, '/');
    if (!pSlash)
        return nullptr;
    size_t nGroupLen = static_cast<size_t>(pSlash - szGroup);
    const char* szItem = pSlash + 1;

    for (MENU_GROUP& group : s_MenuInfo.aGroup) {
        if (!group.szName || strlen(group.szName) != nGroupLen || strncmp(group.szName, szGroup, nGroupLen) != 0)
            continue;
        for (MENU_ITEM& item : group.aItem) {
            if (!item.szName)
                break;
            if (strcmp(item.szName, szItem) == 0)
                return &item;
        }
        return nullptr;
    }
    return nullptr;
}

int MENU_GetChoiceCount(const MENU_ITEM* pItem)
{
    int n = 0;
    while (n < MENU_MAX_CHOICES && pItem->aszChoice[n])
        ++n;
    return n;
}

float MENU_GetChoiceValue(const MENU_ITEM* pItem, int nIndex)
{
    const char* sz = pItem->aszChoice[nIndex];
    if (strchr(sz, ':'))
        return static_cast<float>(atof(sz));
    return static_cast<float>(nIndex);
}

const char* MENU_GetChoiceLabel(const MENU_ITEM* pItem, int nIndex)
{
    const char* sz = pItem->aszChoice[nIndex];
    const char* pColon = strchr(sz, ':');
    return pColon ? pColon + 1 : sz;
}

static void GetDisplayText(const MENU_ITEM* pItem, char* szText)
{
    szText[0] = 0;
    int nChoices = MENU_GetChoiceCount(pItem);
    switch (pItem->nType) {
    case MENU_TYPE_LIST:
    case MENU_TYPE_PAGES:
        if (nChoices == 0)
            return;
        if (!strchr(pItem->aszChoice[0], ':')) {
            // Index choices: a value that is no valid index shows nothing.
            if (pItem->fValue < 0 || pItem->fValue >= nChoices)
                return;
            strcpy(szText, MENU_GetChoiceLabel(pItem, static_cast<int>(pItem->fValue)));
            return;
        }
        for (int i = 0; i < nChoices; ++i) {
            if (MENU_GetChoiceValue(pItem, i) == pItem->fValue) {
                strcpy(szText, MENU_GetChoiceLabel(pItem, i));
                return;
            }
        }
        return;
    case MENU_TYPE_RANGE:
        if (nChoices >= 4)
            snprintf(szText, NVRAM_TEXT_SIZE, pItem->aszChoice[3], pItem->fValue);
        return;
    case MENU_TYPE_ACTION:
        snprintf(szText, NVRAM_TEXT_SIZE, "%f", pItem->fValue);
        return;
    default:
        return;
    }
}

float GetParameter(const char* szKey, char* szText)
{
    const MENU_ITEM* pItem = FindL2(szKey);
    if (!pItem)
        return NVRAM_Get(szKey, szText);
    if (szText)
        GetDisplayText(pItem, szText);
    return pItem->fValue;
}

static int CanSaveNow(void)
{
    return !PL_IsPlaying() && !REC_IsRecording();
}

int SetParameter(const char* szKey, float fValue)
{
    char szText[64];
    if (fValue == floorf(fValue) && fabsf(fValue) < 2147483648.0f)
        snprintf(szText, sizeof(szText), "%d", static_cast<int>(fValue));
    else
        snprintf(szText, sizeof(szText), "%f", fValue);
    NVRAM_Set(szKey, szText, CanSaveNow());
    MENU_ITEM* pItem = FindL2(szKey);
    if (pItem)
        pItem->fValue = fValue;
    return 1;
}

int SetParameter(const char* szKey, const char* szText)
{
    const MENU_ITEM* pItem = FindL2(szKey);
    if (!pItem) {
        NVRAM_Set(szKey, szText, CanSaveNow());
        return 1;
    }
    if (!szText)
        return 0;
    int nChoices = MENU_GetChoiceCount(pItem);
    for (int i = 0; i < nChoices; ++i) {
        if (strcmp(MENU_GetChoiceLabel(pItem, i), szText) == 0)
            return SetParameter(szKey, MENU_GetChoiceValue(pItem, i));
    }
    return 0;
}
