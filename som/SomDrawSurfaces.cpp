#include "SomDrawSurfaces.h"

HDC g_memDC = NULL;
SomBackBuffer g_backBuffer = { NULL, NULL, NULL, 0, 0 };

namespace {
const int kBackBufferWidth = 1024;
const int kBackBufferHeight = 128;
}

BOOL SomCreateSharedDCs()
{
    if (g_memDC != NULL)
        return TRUE;
    HDC hdcScreen = ::GetDC(NULL);
    if (hdcScreen == NULL)
        return FALSE;
    g_memDC = ::CreateCompatibleDC(hdcScreen);
    g_backBuffer.hdc = ::CreateCompatibleDC(hdcScreen);
    g_backBuffer.hBitmap = ::CreateCompatibleBitmap(hdcScreen, kBackBufferWidth, kBackBufferHeight);
    if (g_backBuffer.hdc != NULL && g_backBuffer.hBitmap != NULL) {
        g_backBuffer.hOldBitmap = ::SelectObject(g_backBuffer.hdc, g_backBuffer.hBitmap);
        g_backBuffer.cx = kBackBufferWidth;
        g_backBuffer.cy = kBackBufferHeight;
    }
    ::ReleaseDC(NULL, hdcScreen);
    return g_memDC != NULL && g_backBuffer.cx != 0;
}

void SomDestroySharedDCs()
{
    if (g_backBuffer.hdc != NULL) {
        if (g_backBuffer.hOldBitmap != NULL)
            ::SelectObject(g_backBuffer.hdc, g_backBuffer.hOldBitmap);
        ::DeleteDC(g_backBuffer.hdc);
    }
    if (g_backBuffer.hBitmap != NULL)
        ::DeleteObject(g_backBuffer.hBitmap);
    g_backBuffer.hdc = NULL;
    g_backBuffer.hBitmap = NULL;
    g_backBuffer.hOldBitmap = NULL;
    g_backBuffer.cx = 0;
    g_backBuffer.cy = 0;
    if (g_memDC != NULL)
        ::DeleteDC(g_memDC);
    g_memDC = NULL;
}
