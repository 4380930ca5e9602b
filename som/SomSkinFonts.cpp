// The eight skin fonts of g_skin: one LOGFONTW copied from the system's default GUI font,
// with only face, height and weight changed per entry. Markup font N is entry N - 1.
#include "SomSkin.h"

namespace {

// Height and weight per entry; weight 0 keeps the system font's own weight.
struct SkinFontSpec
{
    LONG lHeight;
    LONG lWeight;
};

const SkinFontSpec kSkinFonts[SOM_FONT_COUNT] = {
    { -11, 0 },         { -11, FW_BOLD }, { -12, FW_NORMAL }, { -12, FW_BOLD },
    { -13, FW_NORMAL }, { -13, FW_BOLD }, { -16, FW_NORMAL }, { -16, FW_BOLD },
};

}  // namespace

LPCWSTR SomSkinFontFace(DWORD dwVersion)
{
    // Bit 31 set: the Windows 9x family. LOBYTE of the low word: the major version.
    BOOL bNT = (dwVersion & 0x80000000) == 0;
    if (bNT && LOBYTE(LOWORD(dwVersion)) == 6)
        return L"\u5FAE\u8F6F\u96C5\u9ED1";  // "Microsoft YaHei" in its Chinese name
    return L"Tahoma";
}

BOOL CSomSkin::CreateFonts()
{
    for (int i = 0; i < SOM_FONT_COUNT; ++i) {
        if (m_hFonts[i] != NULL)
            return TRUE;  // created once for the program's life
    }

    LOGFONTW lf;
    ZeroMemory(&lf, sizeof(lf));
    ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    ::lstrcpynW(lf.lfFaceName, SomSkinFontFace(::GetVersion()), ARRAYSIZE(lf.lfFaceName));
    const LONG lSystemWeight = lf.lfWeight;

    BOOL bAll = TRUE;
    for (int i = 0; i < SOM_FONT_COUNT; ++i) {
        lf.lfHeight = kSkinFonts[i].lHeight;
        lf.lfWeight = kSkinFonts[i].lWeight != 0 ? kSkinFonts[i].lWeight : lSystemWeight;
        m_hFonts[i] = ::CreateFontIndirectW(&lf);
        if (m_hFonts[i] == NULL)
            bAll = FALSE;
    }
    return bAll;
}

void CSomSkin::DestroyFonts()
{
    for (int i = 0; i < SOM_FONT_COUNT; ++i) {
        if (m_hFonts[i] != NULL) {
            ::DeleteObject(m_hFonts[i]);
            m_hFonts[i] = NULL;
        }
    }
}
