#include "SomSkin.h"

CSomSkin g_skin;

CSomSkin::CSomSkin()
    : m_bmpMainBk(MAKEINTRESOURCEW(769), 1, SBK_PNG),
      m_bmpRadio(MAKEINTRESOURCEW(514), 2, SBK_PNG),
      m_bmpCheck(MAKEINTRESOURCEW(515), 2, SBK_PNG),
      m_bmpBtnMin(MAKEINTRESOURCEW(257), 4, SBK_PNG),
      m_bmpBtnMax(MAKEINTRESOURCEW(258), 4, SBK_PNG),
      m_bmpBtnClose(MAKEINTRESOURCEW(259), 4, SBK_PNG),
      m_bmpProgress(MAKEINTRESOURCEW(513), 1, SBK_PNG),
      m_bmpSlogan(MAKEINTRESOURCEW(1025), 1, SBK_PNG),
      m_bmpXpLogo(MAKEINTRESOURCEW(1026), 1, SBK_PNG),
      m_bmpWin7Logo(MAKEINTRESOURCEW(1027), 1, SBK_PNG),
      m_bmpStartBtn(MAKEINTRESOURCEW(1028), 4, SBK_PNG),
      m_bmpSteps(MAKEINTRESOURCEW(1029), 3, SBK_PNG)
{
    for (int i = 0; i < SOM_FONT_COUNT; ++i)
        m_hFonts[i] = NULL;
}

CSomSkin::~CSomSkin()
{
    // The members free any bitmap still loaded, last declared first.
}

namespace {

// Bitmaps are released last-declared first, as the skin object's destruction would.
void UnloadSkinBitmaps()
{
    CSomBitmap* apBitmaps[] = {
        &g_skin.m_bmpMainBk, &g_skin.m_bmpRadio, &g_skin.m_bmpCheck, &g_skin.m_bmpBtnMin,
        &g_skin.m_bmpBtnMax, &g_skin.m_bmpBtnClose, &g_skin.m_bmpProgress, &g_skin.m_bmpSlogan,
        &g_skin.m_bmpXpLogo, &g_skin.m_bmpWin7Logo, &g_skin.m_bmpStartBtn, &g_skin.m_bmpSteps,
    };
    for (int i = (int)(sizeof(apBitmaps) / sizeof(apBitmaps[0])) - 1; i >= 0; --i)
        apBitmaps[i]->Unload();
}

} // namespace

BOOL SomStartup()
{
    BOOL bDCs = SomCreateSharedDCs();
    BOOL bFonts = g_skin.CreateFonts();
    return bDCs && bFonts;
}

void SomShutdown()
{
    // GDI objects go while the process is still whole, not in static destruction.
    UnloadSkinBitmaps();
    g_skin.DestroyFonts();
    SomDestroySharedDCs();
    SomShutdownGdiplus();
}
