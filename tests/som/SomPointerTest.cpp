// Tests that move the real pointer (SetCursorPos) or show large windows on the shared
// display; CTest runs them one at a time under the wine_desktop lock.
#include <gtest/gtest.h>
#include "MessagePump.h"
#include "ProbeWnd.h"
#include "TestHost.h"

namespace {

const int kHostX = 200, kHostY = 150;

class SomPointer : public ::testing::Test
{
protected:
    CProbeWnd a;  // before the host: it must outlive its registration
    CTestHost host;
    void SetUp() override
    {
        host.CreateHost(kHostX, kHostY, 300, 200, WS_EX_TOPMOST);
        a.Create(&host, 10, 10, 50, 50, 0u, SWF_VISIBLE);
        ::SetCursorPos(kHostX + 20, kHostY + 20);
        host.Mouse(WM_MOUSEMOVE, 20, 20);
        ASSERT_EQ(&a, host.m_pHover);
    }
};

TEST_F(SomPointer, TickKeepsHoverWhileThePointerIsOverTheHost)
{
    ::SendMessageW(host.Hwnd(), WM_TIMER, SOM_TIMER_ID, 0);
    EXPECT_EQ(&a, host.m_pHover);
    ::SetCursorPos(kHostX + 250, kHostY + 150);  // still inside, off the element
    ::SendMessageW(host.Hwnd(), WM_TIMER, SOM_TIMER_ID, 0);
    EXPECT_EQ(&a, host.m_pHover);  // only a mouse move re-hit-tests
    EXPECT_FALSE(a.Logged("leave"));
}

TEST_F(SomPointer, TheRunningTickNoticesAPointerThatLeftTheWindow)
{
    ::SetCursorPos(kHostX - 50, kHostY - 50);
    DWORD dwStart = ::GetTickCount();
    while (host.m_pHover != NULL && ::GetTickCount() - dwStart < 2000)
        PumpMessages(20);
    EXPECT_EQ(NULL, host.m_pHover);
    EXPECT_TRUE(a.Logged("leave"));
    EXPECT_LT(::GetTickCount() - dwStart, 1000u);
}

TEST_F(SomPointer, ChildWindowUnderThePointerEndsHover)
{
    HWND hChild = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, 200, 100, 50, 50, host.Hwnd(), NULL,
                                    ::GetModuleHandleW(NULL), NULL);
    ::SetCursorPos(kHostX + 220, kHostY + 120);
    ::SendMessageW(host.Hwnd(), WM_TIMER, SOM_TIMER_ID, 0);
    EXPECT_EQ(NULL, host.m_pHover);
    EXPECT_TRUE(a.Logged("leave"));
    ::DestroyWindow(hChild);
}

TEST_F(SomPointer, CaptureHolderKeepsHoverThroughTheTick)
{
    a.m_bCaptureOnDown = TRUE;
    host.Mouse(WM_LBUTTONDOWN, 20, 20);
    ::SetCursorPos(kHostX - 50, kHostY - 50);
    ::SendMessageW(host.Hwnd(), WM_TIMER, SOM_TIMER_ID, 0);
    EXPECT_EQ(&a, host.m_pHover);
    host.Mouse(WM_LBUTTONUP, -50, -50);
    EXPECT_TRUE(a.Logged("up -60,-60"));
}

TEST_F(SomPointer, CursorRequestsUseThePointerInElementCoordinates)
{
    ::SetCursorPos(kHostX + 30, kHostY + 40);
    EXPECT_EQ(TRUE, ::SendMessageW(host.Hwnd(), WM_SETCURSOR, (WPARAM)host.Hwnd(), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_TRUE(a.Logged("cursor 20,30"));
    ::SetCursorPos(kHostX + 200, kHostY + 150);  // no element: the host's cursor
    LRESULT lr = 1;
    EXPECT_FALSE(host.ProcessWindowMessage(host.Hwnd(), WM_SETCURSOR, 0, 0, lr));
}

}  // namespace
