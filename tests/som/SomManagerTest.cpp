// The element manager on a real host window: stacking, routing, capture, composition,
// direct repaints, redraw control and teardown.
#include <gtest/gtest.h>
#include <algorithm>
#include "DibSurface.h"
#include "MessagePump.h"
#include "ProbeWnd.h"
#include "TestHost.h"
#include "som/SomBitmap.h"
#include "som/SomDrawSurfaces.h"

namespace {

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kGreen = RGB(0, 255, 0);

// Elements are declared before the host: an element must outlive its registration.
class SomManager : public ::testing::Test
{
protected:
    CProbeWnd a, b, c;
    CTestHost host;
    SomManager() : a(kRed), b(kBlue) {}
    void SetUp() override { host.CreateHost(40, 40, 400, 300); }
};

TEST_F(SomManager, EarlierElementIsOnTopForPaintAndMouse)
{
    a.Create(&host, 10, 10, 50, 50, 1u, SWF_VISIBLE);
    b.Create(&host, 40, 40, 60, 60, 2u, SWF_VISIBLE);
    CDibSurface dib(400, 300, RGB(1, 1, 1));
    dib.PrintHost(host);
    EXPECT_EQ(kRed, dib.Pixel(50, 50));  // overlap: the first registered wins
    EXPECT_EQ(kBlue, dib.Pixel(80, 80));
    EXPECT_EQ(kGreen, dib.Pixel(5, 5));  // background only where no element is
    EXPECT_EQ(kGreen, dib.Pixel(200, 200));
    EXPECT_EQ(1, a.m_nPaints);
    EXPECT_EQ(1, b.m_nPaints);

    EXPECT_FALSE(host.Offer(WM_LBUTTONDOWN, 50, 50));  // the probe does not consume it
    EXPECT_TRUE(a.Logged("down 40,40"));
    EXPECT_TRUE(b.m_aLog.size() == 3u);  // create, move, size only

    // A direct repaint of the lower one alone draws over the overlap.
    host.UpdateWindowNow();
    b.Invalidate();
    CDibSurface win(400, 300);
    win.CopyFromWindow(host.Hwnd());
    EXPECT_EQ(kBlue, win.Pixel(50, 50));
    EXPECT_EQ(kRed, win.Pixel(20, 20));
}

TEST_F(SomManager, DisabledAndHiddenElementsAreSkippedByHitTests)
{
    CProbeWnd& top = a;
    CProbeWnd& below = b;
    top.Create(&host, 100, 240, 50, 40, 0u, SWF_VISIBLE | SWF_DISABLED);
    below.Create(&host, 116, 250, 100, 40, 0u, SWF_VISIBLE);
    below.m_bCaptureOnDown = FALSE;

    EXPECT_FALSE(host.Offer(WM_LBUTTONDOWN, 120, 260));
    EXPECT_TRUE(below.Logged("down 4,10"));  // element coordinates
    EXPECT_FALSE(top.Logged("down 20,20"));
    top.m_aLog.clear();
    EXPECT_FALSE(host.Offer(WM_LBUTTONDOWN, 105, 245));  // only the disabled one is there
    EXPECT_TRUE(top.m_aLog.empty());

    CDibSurface dib(400, 300);
    dib.PrintHost(host);
    EXPECT_EQ(kRed, dib.Pixel(120, 260));  // disabled still paints, on top

    below.Show(FALSE);
    POINT pt = { 200, 260 };
    EXPECT_EQ(NULL, host.HitTest(pt));
    pt.x = 215;
    pt.y = 289;
    below.Show(TRUE);
    EXPECT_EQ(&below, host.HitTest(pt));
    pt.x = 216;  // right edge is exclusive
    EXPECT_EQ(NULL, host.HitTest(pt));
}

TEST_F(SomManager, CaptureRoutesEverythingToTheHolderUntilReleased)
{
    a.Create(&host, 10, 10, 50, 50, 0u, SWF_VISIBLE);
    b.Create(&host, 100, 10, 50, 50, 0u, SWF_VISIBLE);
    a.m_bCaptureOnDown = TRUE;

    LRESULT lr;
    EXPECT_TRUE(host.Offer(WM_LBUTTONDOWN, 20, 20, &lr));
    EXPECT_EQ(0, lr);
    EXPECT_EQ(&a, host.m_pCapture);
    EXPECT_EQ(host.Hwnd(), ::GetCapture());

    host.Mouse(WM_MOUSEMOVE, 110, 20);  // over b, but a holds the capture
    EXPECT_TRUE(a.Logged("movemouse 100,10"));
    EXPECT_TRUE(b.m_aLog.size() == 3u);
    host.Mouse(WM_MOUSEMOVE, 20, 20);
    EXPECT_TRUE(a.Logged("enter 10,10"));
    host.Mouse(WM_MOUSEMOVE, 5, 5);
    EXPECT_TRUE(a.Logged("leave"));

    EXPECT_TRUE(host.Offer(WM_LBUTTONUP, 120, 30, &lr));  // the holder's answer is the result
    EXPECT_EQ(TRUE, lr);
    EXPECT_TRUE(a.Logged("up 110,20"));
    EXPECT_TRUE(a.Logged("lost"));
    EXPECT_EQ(NULL, host.m_pCapture);
    EXPECT_EQ(NULL, ::GetCapture());

    // With no holder the next press goes to the element under the pointer again.
    host.Mouse(WM_LBUTTONDOWN, 110, 20);
    EXPECT_TRUE(b.Logged("down 10,10"));
}

TEST_F(SomManager, RemovingTheHolderEndsCaptureAndHover)
{
    a.Create(&host, 10, 10, 50, 50, 0u, SWF_VISIBLE);
    b.Create(&host, 100, 10, 50, 50, 0u, SWF_VISIBLE);
    a.m_bCaptureOnDown = TRUE;
    host.Mouse(WM_MOUSEMOVE, 20, 20);
    host.Mouse(WM_LBUTTONDOWN, 20, 20);

    EXPECT_TRUE(host.RemoveWnd(&a));
    EXPECT_TRUE(a.Logged("lost"));
    EXPECT_TRUE(a.Logged("leave"));
    EXPECT_EQ(NULL, host.m_pCapture);
    EXPECT_EQ(NULL, host.m_pHover);
    EXPECT_EQ(NULL, ::GetCapture());
    ASSERT_EQ(1u, host.m_aWnds.size());
    EXPECT_EQ(&b, host.m_aWnds[0]);
    EXPECT_FALSE(host.RemoveWnd(&a));
}

TEST_F(SomManager, HoverFollowsMouseMoves)
{
    a.Create(&host, 10, 10, 50, 50, 0u, SWF_VISIBLE);
    b.Create(&host, 60, 10, 50, 50, 0u, SWF_VISIBLE);
    LRESULT lr;
    EXPECT_FALSE(host.Offer(WM_MOUSEMOVE, 12, 13, &lr));  // over an element: passed on
    EXPECT_EQ(&a, host.m_pHover);
    EXPECT_TRUE(a.Logged("enter 2,3"));
    EXPECT_TRUE(a.Logged("movemouse 2,3"));

    host.Mouse(WM_MOUSEMOVE, 70, 13);  // straight from a to b
    EXPECT_TRUE(a.Logged("leave"));
    EXPECT_TRUE(b.Logged("enter 10,3"));
    EXPECT_EQ(&b, host.m_pHover);

    EXPECT_TRUE(host.Offer(WM_MOUSEMOVE, 300, 200, &lr));  // empty host area: handled
    EXPECT_EQ(0, lr);
    EXPECT_TRUE(b.Logged("leave"));
    EXPECT_EQ(NULL, host.m_pHover);
}

TEST_F(SomManager, SeeThroughElementsAreComposedInTheBackBuffer)
{
    CProbeWnd& small = a;
    CProbeWnd& wide = b;
    small.m_nSquare = wide.m_nSquare = 10;
    small.Create(&host, 20, 20, 100, 50, 0u, SWF_VISIBLE | SWF_TRANSPARENT);
    wide.Create(&host, 20, 100, 1100, 50, 0u, SWF_VISIBLE | SWF_TRANSPARENT);
    CDibSurface dib(400, 300, RGB(1, 1, 1));
    host.m_nBkCalls = 0;
    dib.PrintHost(host);

    EXPECT_EQ(g_backBuffer.hdc, small.m_hdcLastPaint);
    EXPECT_EQ(dib.Dc(), wide.m_hdcLastPaint);  // 1100 > 1024: straight onto the target
    EXPECT_EQ(kRed, dib.Pixel(25, 25));
    EXPECT_EQ(kGreen, dib.Pixel(60, 40));  // the background shows through
    EXPECT_EQ(kBlue, dib.Pixel(25, 105));
    EXPECT_EQ(kGreen, dib.Pixel(60, 120));
    EXPECT_EQ(kGreen, dib.Pixel(200, 250));
    // Each see-through element got its own background plus the final uncovered fill.
    EXPECT_EQ(3, host.m_nBkCalls);

    // A direct repaint of the composed element goes through the buffer to the window.
    small.m_cr = RGB(200, 100, 0);
    small.Invalidate();
    EXPECT_EQ(g_backBuffer.hdc, small.m_hdcLastPaint);
    CDibSurface win(400, 300);
    win.CopyFromWindow(host.Hwnd());
    EXPECT_EQ(RGB(200, 100, 0), win.Pixel(25, 25));
    EXPECT_EQ(kGreen, win.Pixel(60, 40));
}

TEST_F(SomManager, HiddenElementIsErasedOnlyWhenAsked)
{
    a.Create(&host, 30, 30, 40, 40, 0u, SWF_VISIBLE);
    host.UpdateWindowNow();
    a.Invalidate();
    CDibSurface win(400, 300);
    win.CopyFromWindow(host.Hwnd());
    ASSERT_EQ(kRed, win.Pixel(40, 40));

    a.m_dwFlags &= ~(DWORD)SWF_VISIBLE;  // hidden without the Show repaint
    int nBk = host.m_nBkCalls, nPaints = a.m_nPaints;
    host.InvalidateWnd(&a, NULL, FALSE, 0);
    EXPECT_EQ(nBk, host.m_nBkCalls);
    win.CopyFromWindow(host.Hwnd());
    EXPECT_EQ(kRed, win.Pixel(40, 40));

    host.InvalidateWnd(&a, NULL, TRUE, 0);
    EXPECT_EQ(nBk + 1, host.m_nBkCalls);
    EXPECT_EQ(nPaints, a.m_nPaints);
    EXPECT_NE(g_backBuffer.hdc, host.m_hdcLastBk);
    win.CopyFromWindow(host.Hwnd());
    EXPECT_EQ(kGreen, win.Pixel(40, 40));

    // Show(FALSE) on a visible element does the erase; Show(TRUE) again repaints it.
    a.m_dwFlags |= SWF_VISIBLE;
    EXPECT_EQ(1, a.Show(TRUE));
    EXPECT_EQ(nPaints, a.m_nPaints);
    EXPECT_EQ(1, a.Show(FALSE));
    EXPECT_EQ(0, a.Show(TRUE));
    EXPECT_EQ(nPaints + 1, a.m_nPaints);
}

TEST_F(SomManager, SetRedrawFalseDropsRepaints)
{
    a.Create(&host, 30, 30, 40, 40, 0u, SWF_VISIBLE);
    host.UpdateWindowNow();
    int nPaints = a.m_nPaints;
    ::SendMessageW(host.Hwnd(), WM_SETREDRAW, FALSE, 0);
    a.Invalidate();
    a.Show(FALSE);
    a.Show(TRUE);
    EXPECT_EQ(nPaints, a.m_nPaints);
    ::SendMessageW(host.Hwnd(), WM_SETREDRAW, TRUE, 0);
    PumpMessages(50);
    EXPECT_EQ(nPaints, a.m_nPaints);  // dropped, not deferred
    a.Invalidate();
    EXPECT_EQ(nPaints + 1, a.m_nPaints);
}

TEST_F(SomManager, LockedUpdatesWaitForUnlock)
{
    a.Create(&host, 30, 30, 40, 40, 0u, SWF_VISIBLE);
    host.UpdateWindowNow();
    int nPaints = a.m_nPaints;
    host.LockUpdate();
    a.Invalidate();
    EXPECT_EQ(nPaints, a.m_nPaints);
    host.UnlockUpdate();  // the pending area paints now
    EXPECT_EQ(nPaints + 1, a.m_nPaints);
}

TEST_F(SomManager, CreateAndMoveReportInOrder)
{
    a.Create(&host, 5, 6, 7, 8, 9u, SWF_VISIBLE);
    EXPECT_EQ((std::vector<std::string>{ "create", "move 5,6", "size 7,8" }), a.m_aLog);
    EXPECT_EQ(9u, a.m_nID);
    a.m_aLog.clear();
    a.SetPos(5, 6);
    a.SetSize(7, 8);
    EXPECT_TRUE(a.m_aLog.empty());
    a.SetPos(10, 11);
    a.SetSize(20, 8);
    EXPECT_EQ((std::vector<std::string>{ "move 10,11", "size 20,8" }), a.m_aLog);
    RECT rc;
    a.GetWndRect(&rc);
    EXPECT_EQ(10, rc.left);
    EXPECT_EQ(30, rc.right);
    EXPECT_EQ(19, rc.bottom);
}

TEST_F(SomManager, OtherTimersAndTheTickArePassedOrHandled)
{
    a.Create(&host, 5, 6, 7, 8, SWF_VISIBLE);
    ::SendMessageW(host.Hwnd(), WM_TIMER, 77, 0);
    ::SendMessageW(host.Hwnd(), WM_TIMER, SOM_TIMER_ID, 0);
    ASSERT_EQ(1u, host.m_aPassedTimers.size());
    EXPECT_EQ(77u, host.m_aPassedTimers[0]);
}

TEST_F(SomManager, TeardownUnregistersEveryElement)
{
    std::vector<std::string> log;
    CProbeWnd* ap[] = { &a, &b, &c };
    const char* names[] = { "a", "b", "c" };
    for (int i = 0; i < 3; ++i) {
        ap[i]->m_strName = names[i];
        ap[i]->Create(&host, 10 + 60 * i, 10, 50, 50, (UINT)(i + 1), SWF_VISIBLE);
        ap[i]->m_pSharedLog = &log;
    }
    b.m_bCaptureOnDown = TRUE;
    host.Mouse(WM_MOUSEMOVE, 80, 20);
    host.Mouse(WM_LBUTTONDOWN, 80, 20);
    log.clear();
    host.DestroyHost();

    EXPECT_EQ((std::vector<std::string>{ "b leave", "b lost", "a destroy", "b destroy", "c destroy" }), log);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(0u, ap[i]->m_dwFlags);
        EXPECT_EQ(0u, ap[i]->m_nID);
        EXPECT_TRUE(IsRectEmpty(&ap[i]->m_rcWnd));
        EXPECT_EQ(NULL, ap[i]->m_pManager);
    }
    EXPECT_TRUE(host.m_aWnds.empty());
    EXPECT_EQ(NULL, host.m_hWnd);
    EXPECT_EQ(NULL, host.m_pCapture);

    // The same manager serves a new window, and the elements can be created again.
    host.CreateHost(40, 40, 200, 100);
    EXPECT_EQ(host.Hwnd(), host.m_hWnd);
    a.Create(&host, 1, 1, 10, 10, 0u, SWF_VISIBLE);
    a.m_nPaints = 0;
    a.Invalidate();
    EXPECT_EQ(1, a.m_nPaints);
}

TEST(SomManagerBackground, DefaultFillsWithTheClassBrush)
{
    CTestHost host;
    host.m_bClassBackground = TRUE;
    host.CreateHost(40, 40, 100, 100, 0, TRUE);
    CDibSurface dib(100, 100, RGB(1, 1, 1));
    dib.PrintHost(host);
    EXPECT_EQ(CTestHost::kClassBrushColor, dib.Pixel(50, 50));

    CTestHost bare;
    bare.m_bClassBackground = TRUE;
    bare.CreateHost(40, 40, 100, 100, 0, FALSE);
    dib.Fill(RGB(1, 1, 1));
    dib.PrintHost(bare);
    EXPECT_EQ(RGB(1, 1, 1), dib.Pixel(50, 50));
}

}  // namespace

namespace {

TEST(SomManagerCapture, ReleaseWithoutTheSystemCaptureStillEndsTheRecord)
{
    CProbeWnd a;
    CSomWndManager mgr;  // no host window: SetCapture is never called
    a.Create(&mgr, 0, 0, 10, 10, 0u, SWF_VISIBLE);
    mgr.SetWndCapture(&a);
    mgr.SetWndCapture(&a);  // the same holder again loses it first
    EXPECT_EQ(1, (int)std::count(a.m_aLog.begin(), a.m_aLog.end(), std::string("lost")));
    mgr.ReleaseWndCapture(&a);
    EXPECT_EQ(NULL, mgr.m_pCapture);
    EXPECT_EQ(2, (int)std::count(a.m_aLog.begin(), a.m_aLog.end(), std::string("lost")));
    mgr.ReleaseWndCapture(&a);  // not the holder: nothing
    EXPECT_EQ(2, (int)std::count(a.m_aLog.begin(), a.m_aLog.end(), std::string("lost")));
}

}  // namespace
