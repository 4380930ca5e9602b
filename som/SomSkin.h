// CSomSkin: the one process-wide skin object g_skin. It owns the eight markup fonts
// (font N of the markup is m_hFonts[N - 1]) and the twelve skin bitmaps (ids and frame
// counts in res/resource.h). Created once at
// program start (SomStartup) and destroyed once at the end (SomShutdown).
#pragma once
#include <windows.h>
#include "SomBitmap.h"
#include "SomDrawSurfaces.h"

#define SOM_FONT_COUNT 8

class CSomSkin
{
public:
    HFONT m_hFonts[SOM_FONT_COUNT];  // owned

    CSomBitmap m_bmpMainBk;
    CSomBitmap m_bmpRadio;
    CSomBitmap m_bmpCheck;
    CSomBitmap m_bmpBtnMin;
    CSomBitmap m_bmpBtnMax;
    CSomBitmap m_bmpBtnClose;
    CSomBitmap m_bmpProgress;
    CSomBitmap m_bmpSlogan;
    CSomBitmap m_bmpXpLogo;
    CSomBitmap m_bmpWin7Logo;
    CSomBitmap m_bmpStartBtn;
    CSomBitmap m_bmpSteps;

    CSomSkin();
    ~CSomSkin();

    // Font N (1..8) or null outside that range.
    HFONT GetFont(int n) const { return (n >= 1 && n <= SOM_FONT_COUNT) ? m_hFonts[n - 1] : NULL; }

    // Builds the eight fonts from DEFAULT_GUI_FONT with the face GetVersion calls for
    // (SomSkinFonts.cpp); each runs once.
    BOOL CreateFonts();
    void DestroyFonts();
};

extern CSomSkin g_skin;

// The face for the skin fonts given GetVersion's answer.
LPCWSTR SomSkinFontFace(DWORD dwVersion);

// Program start and end for the toolkit: shared DCs, then fonts; bitmaps load lazily.
BOOL SomStartup();
void SomShutdown();
