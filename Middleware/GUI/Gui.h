// GUI resources (images and fonts) and the shared widgets.
#ifndef MIDDLEWARE_GUI_GUI_H
#define MIDDLEWARE_GUI_GUI_H

#include "Middleware/GUI/Graphics.h"

// Colours that define the look.
#define GUI_COLOR_HEADER 0x3DDB
#define GUI_COLOR_HEADER_EDGE 0x1165
#define GUI_COLOR_SCROLL_THUMB 0xC63F
#define GUI_COLOR_TEXT 0x0000
#define GUI_COLOR_WHITE 0xFFFF
#define GUI_COLOR_BLACK 0x0000
#define GUI_COLOR_RED 0xF800

#define GUI_HEADER_HEIGHT 24
#define GUI_BUTTON_Y 220
#define GUI_BUTTON_WIDTH 104
#define GUI_BUTTON_HEIGHT 18

extern BITMAP* g_pBmp_battery[7];
extern BITMAP* g_pBmp_mode_movie;
extern BITMAP* g_pBmp_mode_audio;
extern BITMAP* g_pBmp_mode_photo;
extern BITMAP* g_pBmp_popup;
extern BITMAP* g_pBmp_selected;
extern BITMAP* g_pBmp_scrollbar;
extern BITMAP* g_pBmp_button;
extern BITMAP* g_pBmp_dir[2];
extern BITMAP* g_pBmp_type_dir;
extern BITMAP* g_pBmp_type_audio;
extern BITMAP* g_pBmp_type_error;
extern BITMAP* g_pBmp_type_error_bg;
extern BITMAP* g_pBmp_levelmeter[2];
extern BITMAP* g_pBmp_stat_play;
extern BITMAP* g_pBmp_stat_pause;
extern BITMAP* g_pBmp_stat_rec;
extern BITMAP* g_pBmp_stat_rec_ready;
extern BITMAP* g_pBmp_stat_stop;
extern BITMAP* g_pBmp_stat_ff;
extern BITMAP* g_pBmp_stat_rew;
extern BITMAP* g_pBmp_icon_autorec;
extern BITMAP* g_pBmp_icon_prerec;
extern BITMAP* g_pBmp_icon_lowcut;
extern BITMAP* g_pBmp_icon_zoom;
extern BITMAP* g_pBmp_icon_speed;
extern BITMAP* g_pBmp_wavrec_bg[2];
extern BITMAP* g_pBmp_range[2];
extern BITMAP* g_pBmp_repeat[4];   // indexed by the repeat mode; slot 0 stays empty
extern BITMAP* g_pBmp_divide;
extern BITMAP* g_pBmp_menu_bg;
extern BITMAP* g_pBmp_arrow_up;
extern BITMAP* g_pBmp_arrow_down;
extern BITMAP* g_pBmp_arrow_left;
extern BITMAP* g_pBmp_arrow_right;
extern BITMAP* g_pBmp_dotline_h;
extern BITMAP* g_pBmp_dotline_v;
extern BITMAP* g_pBmp_progress[2];  // empty bar, filled bar
extern BITMAP* g_pBmp_volume[2];
extern BITMAP* g_pBmp_bigarrow_up;
extern BITMAP* g_pBmp_bigarrow_down;
extern BITMAP* g_pBmp_bigarrow_left;
extern BITMAP* g_pBmp_bigarrow_right;
extern BITMAP* g_pBmp_timer_2;
extern BITMAP* g_pBmp_timer_10;
extern BITMAP* g_pBmp_msg[10];      // message icon by digit; only slot 0 has an image
extern BITMAP* g_pBmp_shutdown_bg;
extern BITMAP* g_pBmp_usb_bg;
extern BITMAP* g_pBmp_autolevel;
extern BITMAP* g_pBmp_limiter;
extern BITMAP* g_pBmp_wb_icon[6];   // by white-balance setting 0-5

extern unsigned char* g_pFont_a24;
extern unsigned char* g_pFont_a20;
extern unsigned char* g_pFont_a16;
extern unsigned char* g_pFont_f16;

int GUI_Init(void);
int DrawBatteryIcon(int x, int y);
void DrawHeader(const char* szTitle, int bNoIcons);
void DrawHeader(const char* szTitle);
int DrawButton(int nSlot, const char* szLabel);
void DrawScrollBar(int x, int y, int nTotal, int nVisible, int nFirst);
void DrawPopupMenu(int x, int y, const char** pszItems, int nCount, int nSelected, const char* szTitle);
void DrawConfirm(const char* szMessage, const char* szLeft, const char* szRight);
void DrawConfirmTimer(const char* szMessage);
void DrawProgressBar(int x, int y, int w, int h, int nPercent);

#endif
