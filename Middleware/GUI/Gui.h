// GUI resources (images and fonts) and the shared widgets.
#ifndef MIDDLEWARE_GUI_GUI_H
#define MIDDLEWARE_GUI_GUI_H

#include "Middleware/GUI/Graphics.h"

extern BITMAP* g_pBmp_shutdown_bg;
extern BITMAP* g_pBmp_usb_bg;
extern BITMAP* g_pBmp_button;  // nine-slice button frame and text highlight
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
