// The process-wide drawing surfaces: g_memDC for blitting bitmaps and measuring text,
// g_backBuffer for composing see-through elements. Created once at program start before
// any window (SomStartup), destroyed once at the end.
#pragma once
#include <windows.h>

struct SomBackBuffer
{
    HDC hdc;             // owned
    HBITMAP hBitmap;     // owned; selected into hdc
    HGDIOBJ hOldBitmap;  // put back before destruction
    int cx;
    int cy;
};

extern HDC g_memDC;  // owned by the program; no bitmap of its own between blits
extern SomBackBuffer g_backBuffer;

BOOL SomCreateSharedDCs();
void SomDestroySharedDCs();
