// Skin bitmaps: loading from files and resources, frame geometry, premultiplied alpha,
// depth of images without alpha, and the blits.
#include <gtest/gtest.h>
#include "DibSurface.h"
#include "PngWriter.h"
#include "TestFiles.h"
#include "res/resource.h"
#include "som/SomBitmap.h"
#include "som/SomPngDecoder.h"
#include "som/SomSkin.h"

namespace {

// A w x h RGBA picture whose column x has red = x and green = 255 - x, fully opaque.
std::vector<BYTE> ColumnCodedRgba(int cx, int cy)
{
    std::vector<BYTE> px;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            BYTE p[4] = { (BYTE)x, (BYTE)(255 - x), 7, 255 };
            px.insert(px.end(), p, p + 4);
        }
    return px;
}

DIBSECTION GetDib(CSomBitmap& bmp)
{
    DIBSECTION ds;
    ZeroMemory(&ds, sizeof(ds));
    ::GetObjectW(bmp.GetHandle(), sizeof(ds), &ds);
    return ds;
}

TEST(SomBitmap, FrameThreeOfFourIsTheLastQuarter)
{
    std::wstring path = WriteTempFile(L"som_frames.png", EncodePng(136, 4, 6, ColumnCodedRgba(136, 4)));
    CSomBitmap bmp(path.c_str(), 4, SBK_PNG);
    EXPECT_EQ(34, bmp.GetFrameWidth());
    EXPECT_EQ(4, bmp.GetHeight());
    EXPECT_TRUE(bmp.HasAlpha());

    CDibSurface dib(60, 8, RGB(0, 0, 0));
    bmp.Draw(dib.Dc(), 0, 0, 3);
    EXPECT_EQ(RGB(102, 255 - 102, 7), dib.Pixel(0, 0));
    EXPECT_EQ(RGB(135, 255 - 135, 7), dib.Pixel(33, 3));
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(34, 0));  // one frame wide
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(0, 4));   // natural height

    // DrawPart addresses the block from the frame's left edge.
    dib.Fill(RGB(0, 0, 0));
    bmp.DrawPart(dib.Dc(), 5, 1, 3, 2, 10, 2, 1);
    EXPECT_EQ(RGB(44, 255 - 44, 7), dib.Pixel(5, 1));
    EXPECT_EQ(RGB(46, 255 - 46, 7), dib.Pixel(7, 2));
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(8, 1));
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(5, 3));
}

TEST(SomBitmap, WidthNotAMultipleOfTheFramesIsRoundedDown)
{
    std::wstring path = WriteTempFile(L"som_odd.png", EncodePng(10, 2, 6, ColumnCodedRgba(10, 2)));
    CSomBitmap bmp(path.c_str(), 3, SBK_PNG);
    EXPECT_EQ(3, bmp.GetFrameWidth());
    CDibSurface dib(8, 2);
    bmp.Draw(dib.Dc(), 0, 0, 2);
    EXPECT_EQ(RGB(6, 249, 7), dib.Pixel(0, 0));
    EXPECT_EQ(RGB(8, 247, 7), dib.Pixel(2, 0));
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(3, 0));  // column 9 is never drawn
}

TEST(SomBitmap, AlphaIsPremultipliedAndBlendedOver)
{
    // Pixels: white at alpha 128, fully transparent red, opaque blue.
    const BYTE px[] = { 255, 255, 255, 128, 255, 0, 0, 0, 0, 0, 255, 255 };
    std::vector<BYTE> bytes = EncodePng(3, 1, 6, std::vector<BYTE>(px, px + sizeof(px)));
    HBITMAP hbm = LoadPngBitmap(bytes.data(), (UINT)bytes.size());
    ASSERT_TRUE(hbm != NULL);
    DIBSECTION ds;
    ASSERT_NE(0, ::GetObjectW(hbm, sizeof(ds), &ds));
    EXPECT_EQ(32, ds.dsBm.bmBitsPixel);
    const BYTE* p = (const BYTE*)ds.dsBm.bmBits;
    EXPECT_EQ((std::vector<int>{ 128, 128, 128, 128 }), (std::vector<int>{ p[0], p[1], p[2], p[3] }));
    EXPECT_EQ((std::vector<int>{ 0, 0, 0, 0 }), (std::vector<int>{ p[4], p[5], p[6], p[7] }));
    EXPECT_EQ((std::vector<int>{ 255, 0, 0, 255 }), (std::vector<int>{ p[8], p[9], p[10], p[11] }));
    ::DeleteObject(hbm);

    std::wstring path = WriteTempFile(L"som_alpha.png", bytes);
    CSomBitmap bmp(path.c_str(), 1, SBK_PNG);
    CDibSurface dib(3, 1, RGB(0, 0, 0));
    bmp.Draw(dib.Dc(), 0, 0, 0);
    EXPECT_EQ(RGB(128, 128, 128), dib.Pixel(0, 0));
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(1, 0));  // transparent leaves the target alone
    EXPECT_EQ(RGB(0, 0, 255), dib.Pixel(2, 0));
}

TEST(SomBitmap, ImagesWithoutAlphaKeepTheirDepthAndAreCopied)
{
    std::vector<BYTE> rgb;
    for (int x = 0; x < 4; ++x) {
        BYTE p[3] = { (BYTE)(60 * x), 10, 20 };
        rgb.insert(rgb.end(), p, p + 3);
    }
    std::wstring path = WriteTempFile(L"som_rgb.png", EncodePng(4, 1, 2, rgb));
    CSomBitmap bmp(path.c_str(), 2, SBK_PNG);
    EXPECT_FALSE(bmp.HasAlpha());
    EXPECT_EQ(24, GetDib(bmp).dsBm.bmBitsPixel);
    CDibSurface dib(6, 2, RGB(9, 9, 9));
    bmp.Draw(dib.Dc(), 0, 0, 1);
    EXPECT_EQ(RGB(120, 10, 20), dib.Pixel(0, 0));
    EXPECT_EQ(RGB(180, 10, 20), dib.Pixel(1, 0));
    EXPECT_EQ(RGB(9, 9, 9), dib.Pixel(2, 0));
    // Stretched: HALFTONE StretchBlt over the whole target width.
    bmp.DrawHStretch(dib.Dc(), 0, 1, 6, 0);
    EXPECT_EQ(HALFTONE, ::GetStretchBltMode(dib.Dc()));
    EXPECT_NE(RGB(9, 9, 9), dib.Pixel(5, 1));

    const BYTE pal[] = { 255, 0, 0, 0, 128, 0 };
    const BYTE idx[] = { 0, 1, 1, 0 };
    std::wstring pathPal = WriteTempFile(
        L"som_pal.png", EncodePng(4, 1, 3, std::vector<BYTE>(idx, idx + 4), std::vector<BYTE>(pal, pal + 6)));
    CSomBitmap bmpPal(pathPal.c_str(), 1, SBK_PNG);
    EXPECT_FALSE(bmpPal.HasAlpha());
    EXPECT_EQ(8, GetDib(bmpPal).dsBm.bmBitsPixel);
    dib.Fill(RGB(9, 9, 9));
    bmpPal.Draw(dib.Dc(), 0, 0, 0);
    EXPECT_EQ(RGB(255, 0, 0), dib.Pixel(0, 0));
    EXPECT_EQ(RGB(0, 128, 0), dib.Pixel(1, 0));
}

TEST(SomBitmap, StretchScalesTheWholeFrame)
{
    std::vector<BYTE> px;
    for (int x = 0; x < 4; ++x) {
        BYTE p[4] = { (BYTE)(x < 2 ? 255 : 0), 0, (BYTE)(x < 2 ? 0 : 255), 255 };
        px.insert(px.end(), p, p + 4);
    }
    std::wstring path = WriteTempFile(L"som_stretch.png", EncodePng(4, 1, 6, px));
    CSomBitmap bmp(path.c_str(), 2, SBK_PNG);  // frame 0 red, frame 1 blue
    CDibSurface dib(20, 4, RGB(0, 0, 0));
    bmp.DrawStretch(dib.Dc(), 0, 0, 20, 4, 1);
    EXPECT_EQ(RGB(0, 0, 255), dib.Pixel(0, 0));
    EXPECT_EQ(RGB(0, 0, 255), dib.Pixel(19, 3));
    dib.Fill(RGB(0, 0, 0));
    bmp.DrawHStretch(dib.Dc(), 0, 0, 20, 0);
    EXPECT_EQ(RGB(255, 0, 0), dib.Pixel(19, 0));
    EXPECT_EQ(RGB(0, 0, 0), dib.Pixel(0, 1));  // natural height: one row
}

TEST(SomBitmap, MissingPictureHasNoSizeAndDrawsNothing)
{
    CSomBitmap res(MAKEINTRESOURCEW(4000), 2, SBK_PNG);
    CSomBitmap file(L"C:\\no\\such\\picture.png", 2, SBK_PNG);
    const BYTE junk[] = "not a png at all";
    std::wstring pathJunk = WriteTempFile(L"som_junk.png", std::vector<BYTE>(junk, junk + sizeof(junk)));
    CSomBitmap bad(pathJunk.c_str(), 1, SBK_PNG);
    CSomBitmap* all[] = { &res, &file, &bad };
    for (CSomBitmap* p : all) {
        EXPECT_EQ(0, p->GetFrameWidth());
        EXPECT_EQ(0, p->GetHeight());
        EXPECT_FALSE(p->HasAlpha());
        CDibSurface dib(8, 8, RGB(3, 4, 5));
        p->Draw(dib.Dc(), 0, 0, 0);
        p->DrawHStretch(dib.Dc(), 0, 0, 8, 0);
        EXPECT_EQ(RGB(3, 4, 5), dib.Pixel(0, 0));
        EXPECT_EQ(NULL, p->GetHandle());
    }
}

TEST(SomBitmap, SkinPicturesLoadWithTheirFrameSizes)
{
    struct Row
    {
        CSomBitmap* p;
        UINT nId;
    };
    const Row rows[] = {
        { &g_skin.m_bmpMainBk, IDB_MAIN_BK },       { &g_skin.m_bmpRadio, IDB_RADIO },
        { &g_skin.m_bmpCheck, IDB_CHECK },          { &g_skin.m_bmpBtnMin, IDB_BTN_MIN },
        { &g_skin.m_bmpBtnMax, IDB_BTN_MAX },       { &g_skin.m_bmpBtnClose, IDB_BTN_CLOSE },
        { &g_skin.m_bmpProgress, IDB_PROGRESS },    { &g_skin.m_bmpSlogan, IDB_SLOGAN },
        { &g_skin.m_bmpXpLogo, IDB_LOGO_XP },       { &g_skin.m_bmpWin7Logo, IDB_LOGO_WIN7 },
        { &g_skin.m_bmpStartBtn, IDB_BTN_INSTALL }, { &g_skin.m_bmpSteps, IDB_STEPS },
    };
    struct Cut
    {
        UINT nId;
        int nFrames;
        int cx;
        int cy;
    };
#define SKIN_CUT(id, frames, cx, cy) { id, frames, cx, cy },
    const Cut cuts[] = { SKIN_PICTURES(SKIN_CUT) };
#undef SKIN_CUT
    ASSERT_EQ(sizeof(rows) / sizeof(rows[0]), sizeof(cuts) / sizeof(cuts[0]));
    for (const Row& r : rows) {
        SCOPED_TRACE(r.nId);
        const Cut* pCut = NULL;
        for (const Cut& c : cuts)
            if (c.nId == r.nId)
                pCut = &c;
        ASSERT_TRUE(pCut != NULL);
        EXPECT_EQ((ULONG_PTR)r.nId, (ULONG_PTR)r.p->m_pszSource);
        EXPECT_EQ(SBK_PNG, r.p->m_nKind);
        EXPECT_EQ(pCut->nFrames, r.p->m_nFrames);
        EXPECT_EQ(pCut->cx, r.p->GetFrameWidth());
        EXPECT_EQ(pCut->cy, r.p->GetHeight());
        EXPECT_TRUE(r.p->HasAlpha());
    }
}

}  // namespace
