// The GUI resources arrive with the GUI issue; until then nothing is loaded.
#include "Middleware/GUI/Gui.h"

BITMAP* g_pBmp_shutdown_bg = nullptr;
BITMAP* g_pBmp_usb_bg = nullptr;
BITMAP* g_pBmp_button = nullptr;
unsigned char* g_pFont_a24 = nullptr;
unsigned char* g_pFont_a20 = nullptr;
unsigned char* g_pFont_a16 = nullptr;
unsigned char* g_pFont_f16 = nullptr;

int GUI_Init(void) { return 0; }
int DrawBatteryIcon(int x, int y) { return 0; }
void DrawHeader(const char* szTitle, int bNoIcons) {}
void DrawHeader(const char* szTitle) { DrawHeader(szTitle, 0); }
int DrawButton(int nSlot, const char* szLabel) { return 0; }
void DrawScrollBar(int x, int y, int nTotal, int nVisible, int nFirst) {}
void DrawPopupMenu(int x, int y, const char** pszItems, int nCount, int nSelected, const char* szTitle) {}
void DrawConfirm(const char* szMessage, const char* szLeft, const char* szRight) {}
void DrawConfirmTimer(const char* szMessage) {}
void DrawProgressBar(int x, int y, int w, int h, int nPercent) {}
