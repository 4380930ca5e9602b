// The image, button and progress elements on a real host window.
#include <gtest/gtest.h>
#include "DibSurface.h"
#include "PngWriter.h"
#include "TestFiles.h"
#include "TestHost.h"
#include "som/SomButton4.h"
#include "som/SomImageWnd.h"
#include "som/SomProgress.h"
#include "som/SomSkin.h"

namespace {

const COLORREF kFrameColors[4] = { RGB(200, 0, 0), RGB(0, 200, 0), RGB(0, 0, 200), RGB(90, 90, 90) };
const COLORREF kBk = RGB(250, 250, 250);

// A 4-frame, 40 x 10 button picture, one solid colour per frame.
CSomBitmap* MakeButtonBitmap()
{
    std::vector<BYTE> px;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 160; ++x) {
            COLORREF c = kFrameColors[x / 40];
            BYTE p[4] = { GetRValue(c), GetGValue(c), GetBValue(c), 255 };
            px.insert(px.end(), p, p + 4);
        }
    static std::wstring s_path = WriteTempFile(L"som_button.png", EncodePng(160, 10, 6, px));
    static CSomBitmap s_bmp(s_path.c_str(), 4, SBK_PNG);
    return &s_bmp;
}

class SomButton : public ::testing::Test
{
protected:
    CSomButton4 btn;  // before the host: it must outlive its registration
    CTestHost host;
    void SetUp() override
    {
        host.m_crBk = kBk;
        host.CreateHost(40, 40, 300, 200);
        btn.Create(&host, 20, 20, 0x301u, SWF_VISIBLE | SWF_AUTOSIZE | SWF_TRANSPARENT);
        btn.SetBkBitmap(MakeButtonBitmap());
    }
    COLORREF Shown()
    {
        CDibSurface dib(300, 200);
        dib.PrintHost(host);
        return dib.Pixel(30, 25);
    }
    size_t Commands() const { return host.m_commands.size(); }
};

TEST_F(SomButton, ClickSendsItsCommandFromTheHoverLook)
{
    EXPECT_EQ(40, btn.GetWidth());
    EXPECT_EQ(10, btn.GetHeight());
    EXPECT_EQ(kFrameColors[0], Shown());
    host.Mouse(WM_MOUSEMOVE, 25, 25);
    EXPECT_EQ(kFrameColors[1], Shown());
    EXPECT_TRUE(host.Offer(WM_LBUTTONDOWN, 25, 25));
    EXPECT_EQ(kFrameColors[2], Shown());
    EXPECT_EQ(host.Hwnd(), ::GetCapture());
    EXPECT_TRUE(host.Offer(WM_LBUTTONUP, 25, 25));
    ASSERT_EQ(1u, Commands());
    EXPECT_EQ(0x301, host.m_commands[0].wID);
    EXPECT_EQ(0, host.m_commands[0].wCode);
    EXPECT_EQ((LPARAM)&btn, host.m_commands[0].lParam);
    EXPECT_EQ(kFrameColors[1], Shown());
    EXPECT_EQ(NULL, ::GetCapture());
}

TEST_F(SomButton, ReleaseOutsideSendsNothingButComingBackDoes)
{
    host.Mouse(WM_MOUSEMOVE, 25, 25);
    host.Mouse(WM_LBUTTONDOWN, 25, 25);
    host.Mouse(WM_MOUSEMOVE, 150, 150);
    EXPECT_EQ(kFrameColors[0], Shown());  // pressed, pointer outside: normal look
    host.Mouse(WM_LBUTTONUP, 150, 150);
    EXPECT_EQ(0u, Commands());
    EXPECT_FALSE(btn.m_bPressed);
    EXPECT_EQ(NULL, ::GetCapture());

    host.Mouse(WM_MOUSEMOVE, 25, 25);
    host.Mouse(WM_LBUTTONDOWN, 25, 25);
    host.Mouse(WM_MOUSEMOVE, -5, 25);
    host.Mouse(WM_MOUSEMOVE, 26, 24);
    EXPECT_EQ(kFrameColors[2], Shown());
    host.Mouse(WM_LBUTTONUP, 26, 24);
    EXPECT_EQ(1u, Commands());
}

TEST_F(SomButton, DoubleClickSendsTwoCommands)
{
    host.Mouse(WM_MOUSEMOVE, 25, 25);
    host.Mouse(WM_LBUTTONDOWN, 25, 25);
    host.Mouse(WM_LBUTTONUP, 25, 25);
    host.Mouse(WM_LBUTTONDBLCLK, 25, 25);
    host.Mouse(WM_LBUTTONUP, 25, 25);
    EXPECT_EQ(2u, Commands());
}

TEST_F(SomButton, PressWithoutSeenMovementSendsNothing)
{
    host.Mouse(WM_LBUTTONDOWN, 25, 25);
    EXPECT_EQ(kFrameColors[0], Shown());
    host.Mouse(WM_LBUTTONUP, 25, 25);
    EXPECT_EQ(0u, Commands());
}

TEST_F(SomButton, CaptureTakenAwayWhileHoveredStillSends)
{
    CTestHost other;
    other.CreateHost(400, 40, 50, 50);
    host.Mouse(WM_MOUSEMOVE, 25, 25);
    host.Mouse(WM_LBUTTONDOWN, 25, 25);
    ::SetCapture(other.Hwnd());
    EXPECT_EQ(1u, Commands());
    EXPECT_FALSE(btn.m_bPressed);
    EXPECT_EQ(NULL, host.m_pCapture);

    // Taken away with the pointer outside: nothing.
    ::ReleaseCapture();
    host.Mouse(WM_LBUTTONDOWN, 25, 25);
    host.Mouse(WM_MOUSEMOVE, 150, 150);
    ::SetCapture(other.Hwnd());
    EXPECT_EQ(1u, Commands());
    ::ReleaseCapture();
}

TEST(SomButtonDisabled, ShowsFrameThreeAndNeverSends)
{
    CSomButton4 btn;
    CTestHost host;
    host.m_crBk = kBk;
    host.CreateHost(40, 40, 300, 200);
    btn.Create(&host, 20, 20, 0x102u, 15);
    btn.SetBkBitmap(MakeButtonBitmap());
    host.Mouse(WM_MOUSEMOVE, 25, 25);
    EXPECT_FALSE(host.Offer(WM_LBUTTONDOWN, 25, 25));
    host.Mouse(WM_LBUTTONUP, 25, 25);
    EXPECT_TRUE(host.m_commands.empty());
    EXPECT_EQ(NULL, host.m_pHover);
    CDibSurface dib(300, 200);
    dib.PrintHost(host);
    EXPECT_EQ(kFrameColors[3], dib.Pixel(30, 25));
}

TEST(SomButtonLayout, SizesFromTheBackgroundOrCentresInAFixedSize)
{
    CSomButton4 start, fixed;
    CTestHost host;
    host.CreateHost(40, 40, 300, 200);
    start.Create(&host, 332, 380, 0x301u, 11);
    start.SetBkBitmap(&g_skin.m_bmpStartBtn);
    EXPECT_EQ(184, start.GetWidth());
    EXPECT_EQ(77, start.GetHeight());
    EXPECT_EQ(92, start.m_nContentLeft);  // (184 - 0) / 2: no content
    EXPECT_EQ(0, start.GetStateFrame());
    EXPECT_TRUE(start.IsTransparent());  // set by OnCreate even without the flag

    fixed.Create(&host, 0, 0, 100, 30, SWF_VISIBLE);
    fixed.m_pIcon = &g_skin.m_bmpRadio;  // 16 wide
    fixed.SetBkBitmap(MakeButtonBitmap());
    EXPECT_EQ(100, fixed.GetWidth());
    EXPECT_EQ((100 - 16) / 2, fixed.m_nContentLeft);
    EXPECT_TRUE(fixed.IsTransparent());
}

// A 415 x 36 bar picture: track rows red, fill rows green, shadow rows blue.
CSomBitmap* MakeBarBitmap()
{
    std::vector<BYTE> px;
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 415; ++x) {
            BYTE p[4] = { (BYTE)(y < 12 ? 255 : 0), (BYTE)(y >= 12 && y < 24 ? 255 : 0), (BYTE)(y >= 24 ? 255 : 0),
                          255 };
            px.insert(px.end(), p, p + 4);
        }
    static std::wstring s_path = WriteTempFile(L"som_bar.png", EncodePng(415, 36, 6, px));
    static CSomBitmap s_bmp(s_path.c_str(), 1, SBK_PNG);
    return &s_bmp;
}

TEST(SomProgress, FillWidthFollowsThePercentAndIsCutToTheElement)
{
    CSomProgress bar;
    CTestHost host;
    host.m_crBk = kBk;
    host.CreateHost(40, 40, 500, 100);
    bar.Create(&host, 10, 10, 412, 20, 11);
    bar.SetBitmap(MakeBarBitmap());
    EXPECT_EQ(412, bar.GetWidth());  // no resizing from the picture
    bar.SetPercent(0);
    CDibSurface dib(500, 100);
    dib.PrintHost(host);
    EXPECT_EQ(RGB(255, 0, 0), dib.Pixel(10, 10));
    EXPECT_EQ(RGB(255, 0, 0), dib.Pixel(421, 21));
    EXPECT_EQ(kBk, dib.Pixel(10, 22));  // rows 12..19 stay background with no fill
    EXPECT_EQ(kBk, dib.Pixel(422, 10));

    bar.SetPercent(50);
    dib.PrintHost(host);
    EXPECT_EQ(RGB(0, 255, 0), dib.Pixel(216, 10));  // 415 * 50 / 100 = 207 columns
    EXPECT_EQ(RGB(255, 0, 0), dib.Pixel(217, 10));
    EXPECT_EQ(RGB(0, 0, 255), dib.Pixel(216, 29));  // shadow band under the fill
    EXPECT_EQ(kBk, dib.Pixel(217, 29));
    EXPECT_EQ(kBk, dib.Pixel(216, 30));  // cut at the element's bottom

    bar.SetPercent(100);
    dib.PrintHost(host);
    EXPECT_EQ(RGB(0, 255, 0), dib.Pixel(421, 10));
    EXPECT_EQ(kBk, dib.Pixel(422, 10));  // 415 drawn, 412 shown
    EXPECT_EQ(kBk, dib.Pixel(423, 25));

    // The direct repaint is cut to the element as well.
    bar.SetPercent(100);
    CDibSurface win(500, 100);
    win.CopyFromWindow(host.Hwnd());
    EXPECT_EQ(RGB(0, 255, 0), win.Pixel(421, 10));
    EXPECT_EQ(kBk, win.Pixel(422, 10));
}

TEST(SomImage, TakesItsFrameSizeAndTransparencyFromThePicture)
{
    CSomImageWnd radio, plain, empty;
    CTestHost host;
    host.CreateHost(40, 40, 300, 200);
    radio.Create(&host, 255, 300, 11);
    radio.SetImage(&g_skin.m_bmpRadio, 1);
    EXPECT_EQ(16, radio.GetWidth());
    EXPECT_EQ(18, radio.GetHeight());
    EXPECT_TRUE(radio.IsTransparent());

    const BYTE rgb[] = { 1, 2, 3, 4, 5, 6 };
    static std::wstring s_path = WriteTempFile(L"som_plain.png", EncodePng(2, 1, 2, std::vector<BYTE>(rgb, rgb + 6)));
    static CSomBitmap bmp(s_path.c_str(), 1, SBK_PNG);
    plain.SetImage(&bmp, 0);  // before Create: applied by OnCreate
    plain.Create(&host, 5, 5, 11);
    EXPECT_EQ(2, plain.GetWidth());
    EXPECT_FALSE(plain.IsTransparent());

    empty.Create(&host, 5, 5, 30, 20, 11);
    empty.SetImage(NULL, 0);
    EXPECT_EQ(30, empty.GetWidth());
    EXPECT_TRUE(empty.IsTransparent());

    // Images consume no clicks: they reach the host.
    EXPECT_FALSE(host.Offer(WM_LBUTTONDOWN, 260, 305));
    EXPECT_FALSE(host.Offer(WM_LBUTTONUP, 260, 305));
}

}  // namespace
