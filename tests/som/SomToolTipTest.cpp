// The tooltip registry: ids, reuse, duplicates, the attached control and text requests.
#include <gtest/gtest.h>
#include "ProbeWnd.h"
#include "TestHost.h"

namespace {

TEST(SomToolTip, IdsAreSmallestFreeAndDuplicatesGetZero)
{
    CSomWndManager mgr;
    CProbeWnd a, b, c;
    EXPECT_EQ(1, mgr.AddToolTip(&a, 1, NULL));
    EXPECT_EQ(2, mgr.AddToolTip(&a, 2, NULL));
    EXPECT_EQ(3, mgr.AddToolTip(&b, 1, NULL));
    EXPECT_EQ(0, mgr.AddToolTip(&a, 1, NULL));
    EXPECT_EQ(1, mgr.m_mapWndTools[&a][1]);
    mgr.RemoveToolTips(&a);
    EXPECT_EQ(1u, mgr.m_mapTools.size());
    EXPECT_EQ(1, mgr.AddToolTip(&c, 7, NULL));
    EXPECT_EQ(2, mgr.AddToolTip(&c, 8, NULL));
    EXPECT_EQ(4, mgr.AddToolTip(&c, 9, NULL));
    mgr.RemoveToolTips(&a);  // no tools left: nothing
    EXPECT_EQ(4u, mgr.m_mapTools.size());
    EXPECT_EQ((LONG)0x80000000, mgr.m_mapTools[1].rcTool.left);
}

TEST(SomToolTip, ToolsReachTheControlAndTextRequestsTheElement)
{
    CProbeWnd a;  // before the host: it must outlive its registration
    CTestHost host;
    host.CreateHost(40, 40, 300, 200);
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_WIN95_CLASSES };
    ::InitCommonControlsEx(&icc);
    HWND hTip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, NULL, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, host.Hwnd(), NULL,
                                  ::GetModuleHandleW(NULL), NULL);
    ASSERT_TRUE(hTip != NULL);
    host.m_wndToolTip = hTip;
    host.m_hWndOwner = host.Hwnd();
    a.Create(&host, 50, 60, 40, 30, 0u, SWF_VISIBLE);
    RECT rcPart = { 1, 2, 11, 12 };
    int id1 = host.AddToolTip(&a, 5, &rcPart);
    int id2 = host.AddToolTip(&a, 6, NULL);
    EXPECT_EQ(2, (int)::SendMessageW(hTip, TTM_GETTOOLCOUNT, 0, 0));

    TOOLINFOW ti;
    ZeroMemory(&ti, sizeof(ti));
    ti.cbSize = sizeof(ti);
    ti.hwnd = host.Hwnd();
    ti.uId = (UINT_PTR)id1;
    ASSERT_TRUE(::SendMessageW(hTip, TTM_GETTOOLINFOW, 0, (LPARAM)&ti));
    EXPECT_EQ(51, ti.rect.left);  // moved into client coordinates
    EXPECT_EQ(72, ti.rect.bottom);
    ti.uId = (UINT_PTR)id2;
    ASSERT_TRUE(::SendMessageW(hTip, TTM_GETTOOLINFOW, 0, (LPARAM)&ti));
    EXPECT_EQ(90, ti.rect.right);

    NMTTDISPINFOW di;
    ZeroMemory(&di, sizeof(di));
    di.hdr.hwndFrom = hTip;
    di.hdr.idFrom = (UINT_PTR)id2;
    di.hdr.code = TTN_GETDISPINFOW;
    LRESULT lr = 1;
    EXPECT_TRUE(host.ProcessWindowMessage(host.Hwnd(), WM_NOTIFY, 0, (LPARAM)&di, lr));
    EXPECT_EQ(0, lr);
    EXPECT_TRUE(a.Logged("tiptext 6"));
    a.m_aLog.clear();
    di.hdr.idFrom = 99;  // unknown id: handled, nobody asked
    EXPECT_TRUE(host.ProcessWindowMessage(host.Hwnd(), WM_NOTIFY, 0, (LPARAM)&di, lr));
    EXPECT_TRUE(a.m_aLog.empty());
    di.uFlags = TTF_IDISHWND;  // a window's tool: not ours
    EXPECT_FALSE(host.ProcessWindowMessage(host.Hwnd(), WM_NOTIFY, 0, (LPARAM)&di, lr));

    host.RemoveToolTips(&a);
    EXPECT_EQ(0, (int)::SendMessageW(hTip, TTM_GETTOOLCOUNT, 0, 0));
    ::DestroyWindow(hTip);
}

}  // namespace
