// Renders every skin picture, frame by frame, in a real host window and keeps a
// screenshot of it (C:\kv-artifacts\skin_gallery.png in the test prefix; CTest copies it
// to the build tree's artifacts folder).
#include <gtest/gtest.h>
#include <stdio.h>
#include "DibSurface.h"
#include "TestHost.h"
#include "som/SomImageWnd.h"
#include "som/SomProgress.h"
#include "som/SomButton4.h"
#include "som/SomSkin.h"

namespace {

const int kGalleryW = 1280, kGalleryH = 800;

// A checkerboard, so that see-through pixels are visible as such.
class CGalleryHost : public CTestHost
{
public:
    void DrawBackground(HDC hdc, const RECT* prc) override
    {
        for (int y = prc->top & ~7; y < prc->bottom; y += 8)
            for (int x = prc->left & ~7; x < prc->right; x += 8) {
                RECT rc = { x, y, x + 8, y + 8 };
                Fill(hdc, rc, *prc, ((x ^ y) & 8) ? RGB(214, 214, 214) : RGB(255, 255, 255));
            }
        // The title-bar buttons are drawn for the blue header.
        RECT rcBand = { 860, 0, kGalleryW, 92 };
        Fill(hdc, rcBand, *prc, RGB(0x2b, 0x7d, 0xe9));
    }

private:
    static void Fill(HDC hdc, RECT rc, const RECT& rcLimit, COLORREF cr)
    {
        if (!IntersectRect(&rc, &rc, &rcLimit))
            return;
        HBRUSH hbr = ::CreateSolidBrush(cr);
        ::FillRect(hdc, &rc, hbr);
        ::DeleteObject(hbr);
    }
};

struct Placement
{
    CSomBitmap* pBitmap;
    int nFrames;
    int x;
    int y;
    int dx;
    int dy;
};

TEST(SomGallery, EverySkinPictureIsShownInAHostWindow)
{
    CSomProgress bar;
    CSomButton4 close;
    CGalleryHost host;
    host.CreateHost(0, 0, kGalleryW, kGalleryH);
    const Placement places[] = {
        { &g_skin.m_bmpMainBk, 1, 0, 0, 0, 0 },        { &g_skin.m_bmpBtnMin, 4, 870, 10, 44, 0 },
        { &g_skin.m_bmpBtnMax, 4, 870, 40, 44, 0 },    { &g_skin.m_bmpBtnClose, 4, 870, 70, 50, 0 },
        { &g_skin.m_bmpRadio, 2, 870, 100, 30, 0 },    { &g_skin.m_bmpCheck, 2, 950, 100, 30, 0 },
        { &g_skin.m_bmpXpLogo, 1, 870, 140, 0, 0 },    { &g_skin.m_bmpWin7Logo, 1, 1010, 140, 0, 0 },
        { &g_skin.m_bmpProgress, 1, 860, 250, 0, 0 },  { &g_skin.m_bmpSlogan, 1, 10, 555, 0, 0 },
        { &g_skin.m_bmpStartBtn, 4, 10, 580, 194, 0 }, { &g_skin.m_bmpSteps, 3, 800, 580, 0, 40 },
    };
    std::vector<CSomImageWnd*> images;
    for (const Placement& p : places) {
        ASSERT_GT(p.pBitmap->GetFrameWidth(), 0) << (ULONG_PTR)p.pBitmap->m_pszSource;
        for (int k = 0; k < p.nFrames; ++k) {
            CSomImageWnd* pImage = new CSomImageWnd;
            pImage->Create(&host, p.x + k * p.dx, p.y + k * p.dy, 11);
            pImage->SetImage(p.pBitmap, k);
            images.push_back(pImage);
        }
    }
    // The composed elements as the main dialog uses them: a half-full bar and a live button.
    bar.Create(&host, 860, 310, 412, 20, 11);
    bar.SetBitmap(&g_skin.m_bmpProgress);
    bar.SetPercent(50);
    close.Create(&host, 1200, 10, 0x103u, 11);
    close.SetBkBitmap(&g_skin.m_bmpBtnClose);
    host.Mouse(WM_MOUSEMOVE, 1210, 15);

    host.UpdateWindowNow();
    CDibSurface shot(kGalleryW, kGalleryH);
    shot.CopyFromWindow(host.Hwnd());
    CDibSurface printed(kGalleryW, kGalleryH);
    printed.PrintHost(host);
    // The window shows what the manager's full paint produces.
    int nDiffer = 0;
    for (int y = 0; y < kGalleryH; y += 3)
        for (int x = 0; x < kGalleryW; x += 3)
            nDiffer += shot.Pixel(x, y) != printed.Pixel(x, y);
    EXPECT_EQ(0, nDiffer);

    std::vector<BYTE> png = shot.ToPng();
    ::CreateDirectoryW(L"C:\\kv-artifacts", NULL);
    FILE* pFile = _wfopen(L"C:\\kv-artifacts\\skin_gallery.png", L"wb");
    ASSERT_TRUE(pFile != NULL);
    EXPECT_EQ(png.size(), fwrite(png.data(), 1, png.size(), pFile));
    fclose(pFile);

    host.DestroyHost();
    for (CSomImageWnd* p : images)
        p->Release();
}

}  // namespace
