// The player/recorder screen: the state other screens read and write.
#ifndef MIDDLEWARE_GUI_SCREENPLAYER_H
#define MIDDLEWARE_GUI_SCREENPLAYER_H

class screen_player
{
public:
    static char m_curDir[256];   // directory of the current file
    static char m_curFile[256];  // name of the current file, "" for none
};

// Requests of the player screen to the HDMI watcher: HDMI off for a while,
// and playback to resume on HDMI after recording or the menu.
extern int g_bHdmiOffReq;
extern int g_bMovieRecHDMI;
extern int g_bPhotoRecHDMI;
extern int g_bAudioRecHDMI;
extern int g_bMenuPlayHDMI;

#endif
