#include "DrvLib/FrameBuffer.h"

#include "Lib/Sys.h"
#include "Lib/Thread.h"
#include "Middleware/GUI/Graphics.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>

static int s_hOsd = -1;
static int s_nFb = 1;
static int s_nVramW = 240;
static int s_nVramH = 320;
static int s_nVramSize = 240 * 320 * 2;
static int s_nZoom = 0;
static int s_nChgFb = 1;
static int s_nChgVramW = 240;
static int s_nChgVramH = 320;
static int s_nChgZoom = 0;
static int s_bEnableFb = 1;
static int s_bChgEnableFb = 1;
static unsigned char* s_pOsd = nullptr;
static int s_nOsdMapLength = 0;
static int s_nActiveBank = 0;
static struct fb_var_screeninfo s_osd_vinfo;
static struct fb_fix_screeninfo s_osd_finfo;
static void* s_pFbLock = nullptr;

#define OSD_COLOR_KEY 0xF81F

static int FB_Open(void);
static void FB_Close(void);

static int FB_Open(void)
{
    if (s_hOsd >= 0) {
        perror("exist open.");
        return 0;
    }
    s_hOsd = SYS_open(s_nFb ? "/dev/fb2" : "/dev/fb0", O_RDWR);
    if (s_hOsd < 0) {
        perror("open fb failed.");
        s_hOsd = -1;
        return 0;
    }
    if (SYS_ioctl(s_hOsd, FBIOBLANK, static_cast<unsigned long>(FB_BLANK_POWERDOWN)) < 0) {
        fprintf(stderr, "ioctl(FBIOBLANK, FB_BLANK_POWERDOWN) failed.\n");
        return 0;
    }
    if (SYS_ioctl(s_hOsd, FBIOGET_VSCREENINFO, &s_osd_vinfo) < 0) {
        perror("ioctl(FBIOGET_VSCREENINFO) failed.");
        return 0;
    }
    s_osd_vinfo.xres = s_nVramW;
    s_osd_vinfo.yres = s_nVramH;
    s_osd_vinfo.xres_virtual = s_nVramW;
    s_osd_vinfo.yres_virtual = s_nVramH * 2;
    s_osd_vinfo.xoffset = 0;
    s_osd_vinfo.yoffset = 0;
    s_osd_vinfo.bits_per_pixel = 16;
    s_osd_vinfo.grayscale = 0;
    s_osd_vinfo.red.offset = 11;
    s_osd_vinfo.red.length = 5;
    s_osd_vinfo.green.offset = 5;
    s_osd_vinfo.green.length = 6;
    s_osd_vinfo.blue.offset = 0;
    s_osd_vinfo.blue.length = 5;
    s_osd_vinfo.transp.offset = 0;
    s_osd_vinfo.transp.length = 0;
    s_osd_vinfo.nonstd = 0;
    if (SYS_ioctl(s_hOsd, FBIOPUT_VSCREENINFO, &s_osd_vinfo) < 0) {
        perror("ioctl(FBIOPUT_VSCREENINFO) failed.");
        return 0;
    }
    uint32_t aZoom[3] = {0, static_cast<uint32_t>(s_nZoom), static_cast<uint32_t>(s_nZoom)};
    if (SYS_ioctl(s_hOsd, FBIO_SETZOOM, aZoom) < 0) {
        perror("ioctl(FBIO_SETZOOM) failed.");
        return 0;
    }
    uint32_t aBlend[3] = {OSD_COLOR_KEY, 1, 0};
    if (SYS_ioctl(s_hOsd, FBIO_SET_BITMAP_BLEND_FACTOR, aBlend) < 0) {
        perror("ioctl(FBIO_SET_BITMAP_BLEND_FACTOR) failed.");
        return 0;
    }
    if (SYS_ioctl(s_hOsd, FBIOBLANK, static_cast<unsigned long>(FB_BLANK_UNBLANK)) < 0)
        fprintf(stderr, "ioctl(FBIOBLANK, FB_BLANK_UNBLANK) failed.\n");
    SYS_ioctl(s_hOsd, FBIO_ENABLE_DISABLE_WIN, static_cast<unsigned long>(s_bEnableFb));
    if (SYS_ioctl(s_hOsd, FBIOGET_FSCREENINFO, &s_osd_finfo) < 0) {
        perror("ioctl(FBIOGET_FSCREENINFO) failed.");
        return 0;
    }
    s_nOsdMapLength = static_cast<int>(s_osd_finfo.line_length) * 2 * s_nVramH;
    void* pMap = SYS_mmap(nullptr, static_cast<size_t>(s_nOsdMapLength), PROT_READ | PROT_WRITE, MAP_SHARED, s_hOsd, 0);
    if (pMap == MAP_FAILED) {
        perror("mmap() failed.\n");
        s_pOsd = nullptr;
        return 0;
    }
    s_pOsd = static_cast<unsigned char*>(pMap);
    s_nActiveBank = 0;
    FB_Flip();
    return 1;
}

static void FB_Close(void)
{
    if (s_pOsd) {
        SYS_munmap(s_pOsd, static_cast<size_t>(s_nOsdMapLength));
        s_pOsd = nullptr;
    }
    if (s_hOsd >= 0) {
        SYS_ioctl(s_hOsd, FBIO_ENABLE_DISABLE_WIN, 0UL);
        SYS_close(s_hOsd);
        s_hOsd = -1;
    }
}

int FB_Init(void)
{
    s_pFbLock = TH_CreateLock();
    return FB_Open();
}

void FB_Exit(void)
{
    FB_Close();
    TH_DeleteLock(s_pFbLock);
    s_pFbLock = nullptr;
}

int FB_Flip(void)
{
    TH_Lock(s_pFbLock);
    int bLayoutChanged = 0;
    if (s_nVramW != s_nChgVramW) {
        FB_Close();
        s_nVramW = s_nChgVramW;
        s_nFb = s_nChgFb;
        s_nVramH = s_nChgVramH;
        s_nZoom = s_nChgZoom;
        s_nVramSize = s_nVramW * s_nVramH * 2;
        FB_Open();
        bLayoutChanged = 1;
    }
    if (!s_pOsd) {
        // No mapping (the reopen failed): nothing may be drawn until a
        // later layout change opens the device again.
        g_pDrawTarget = nullptr;
        TH_Unlock(s_pFbLock);
        return 0;
    }
    if (s_bEnableFb != s_bChgEnableFb) {
        SYS_ioctl(s_hOsd, FBIO_ENABLE_DISABLE_WIN, static_cast<unsigned long>(s_bChgEnableFb));
        s_bEnableFb = s_bChgEnableFb;
    }
    int b = s_nActiveBank;
    g_pDrawTarget = FB_GetVramAddr(b);
    s_nActiveBank = 1 - b;
    s_osd_vinfo.yoffset = static_cast<uint32_t>((1 - b)) * s_osd_vinfo.yres;
    if (SYS_ioctl(s_hOsd, FBIOPAN_DISPLAY, &s_osd_vinfo) < 0) {
        perror("ioctl(FBIOPAN_DISPLAY) failed.");
        TH_Unlock(s_pFbLock);
        return 0;
    }
    if (bLayoutChanged) {
        if (s_nFb == 1)
            GRA_SetRotate(90, 480);
        else
            GRA_SetRotate(0, 1280);
    }
    TH_Unlock(s_pFbLock);
    return 1;
}

void FB_ChgVram(int nFb, int nWidth, int nHeight, int nZoom)
{
    s_nChgFb = nFb;
    s_nChgVramW = nWidth;
    s_nChgVramH = nHeight;
    s_nChgZoom = nZoom;
}

void FB_SetEnable(int bOn)
{
    s_bChgEnableFb = bOn;
}

int FB_GetEnable(void)
{
    return s_bChgEnableFb;
}

void FB_ToggleEnable(void)
{
    s_bChgEnableFb = s_bChgEnableFb >= 1 ? 0 : 1;
}

void FB_GetVram(unsigned char* pDst)
{
    unsigned char* pShown = FB_GetVramAddr(s_nActiveBank);
    if (pShown)
        memcpy(pDst, pShown, static_cast<size_t>(s_nVramSize));
}

void FB_SetVram(const unsigned char* pSrc)
{
    if (s_pOsd && g_pDrawTarget)
        memcpy(g_pDrawTarget, pSrc, static_cast<size_t>(s_nVramSize));
}

unsigned char* FB_GetVramAddr(int nBank)
{
    if (!s_pOsd)
        return nullptr;
    return s_pOsd + static_cast<size_t>(s_osd_finfo.line_length) * s_nVramH * nBank;
}
