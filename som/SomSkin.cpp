#include "SomSkin.h"
#include "SomPngDecoder.h"
#include "res/resource.h"

CSomSkin g_skin;

namespace {

// The frame count of a skin picture, from the picture table.
WORD SkinFrames(UINT nId)
{
#define SKIN_FRAMES(id, frames, cx, cy)                                                                                \
    if (nId == id)                                                                                                     \
        return frames;
    SKIN_PICTURES(SKIN_FRAMES)
#undef SKIN_FRAMES
    return 1;
}

}  // namespace

#define SKIN_BITMAP(id) MAKEINTRESOURCEW(id), SkinFrames(id), SBK_PNG

CSomSkin::CSomSkin()
    : m_bmpMainBk(SKIN_BITMAP(IDB_MAIN_BK)), m_bmpRadio(SKIN_BITMAP(IDB_RADIO)), m_bmpCheck(SKIN_BITMAP(IDB_CHECK)),
      m_bmpBtnMin(SKIN_BITMAP(IDB_BTN_MIN)), m_bmpBtnMax(SKIN_BITMAP(IDB_BTN_MAX)),
      m_bmpBtnClose(SKIN_BITMAP(IDB_BTN_CLOSE)), m_bmpProgress(SKIN_BITMAP(IDB_PROGRESS)),
      m_bmpSlogan(SKIN_BITMAP(IDB_SLOGAN)), m_bmpXpLogo(SKIN_BITMAP(IDB_LOGO_XP)),
      m_bmpWin7Logo(SKIN_BITMAP(IDB_LOGO_WIN7)), m_bmpStartBtn(SKIN_BITMAP(IDB_BTN_INSTALL)),
      m_bmpSteps(SKIN_BITMAP(IDB_STEPS))
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
        &g_skin.m_bmpMainBk, &g_skin.m_bmpRadio,    &g_skin.m_bmpCheck,    &g_skin.m_bmpBtnMin,
        &g_skin.m_bmpBtnMax, &g_skin.m_bmpBtnClose, &g_skin.m_bmpProgress, &g_skin.m_bmpSlogan,
        &g_skin.m_bmpXpLogo, &g_skin.m_bmpWin7Logo, &g_skin.m_bmpStartBtn, &g_skin.m_bmpSteps,
    };
    for (int i = (int)(sizeof(apBitmaps) / sizeof(apBitmaps[0])) - 1; i >= 0; --i)
        apBitmaps[i]->Unload();
}

}  // namespace

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
