// The skinned message box run modally for real: a thread timer inside its modal loop looks
// at it and drives it with window messages; hooks watch what reaches it.
#include <gtest/gtest.h>
#include <functional>
#include "text/DlgMsgBox.h"
#include "som/SomSkin.h"
#include "DibSurface.h"
#include "MessageRecorder.h"

namespace {

const LPCWSTR kDiskTitle = L"磁盘空间不足";
const LPCWSTR kDiskLine = L"检测到系统安装所需要的空间不足，不能装机。";
const LPCWSTR kDiskHint = L"请清除硬盘空间后再尝试操作。";

HWND BoxWindow(CDlgMsgBox& box) { return box.CIndirectDialogImpl<CDlgMsgBox>::m_hWnd; }

// Runs steps inside the box's modal loop, one per timer tick once the box is visible.
// If the box is still open after the last step, or after the time limit, it is ended
// with 77 so that a fault shows as a wrong result, never as a hang.
class CBoxDriver
{
public:
    typedef std::function<void(HWND)> Step;

    CBoxDriver(CDlgMsgBox* pBox) : m_pBox(pBox), m_nNext(0), m_dwStart(GetTickCount())
    {
        s_pThis = this;
        m_uTimer = SetTimer(NULL, 0, 60, TimerProc);
    }
    ~CBoxDriver()
    {
        KillTimer(NULL, m_uTimer);
        s_pThis = NULL;
    }
    void Add(Step step) { m_steps.push_back(step); }

private:
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR, DWORD)
    {
        CBoxDriver* p = s_pThis;
        if (p == NULL)
            return;
        HWND hBox = BoxWindow(*p->m_pBox);
        if (hBox == NULL || !IsWindowVisible(hBox))
            return;
        if (p->m_nNext < p->m_steps.size() && GetTickCount() - p->m_dwStart < 20000) {
            Step step = p->m_steps[p->m_nNext++];
            step(hBox);
        } else {
            EndDialog(hBox, 77);
        }
    }

    CDlgMsgBox* m_pBox;  // not owned
    std::vector<Step> m_steps;
    size_t m_nNext;
    DWORD m_dwStart;
    UINT_PTR m_uTimer;
    static CBoxDriver* s_pThis;  // not owned
};
CBoxDriver* CBoxDriver::s_pThis = NULL;

POINT Centre(const RECT& rc)
{
    POINT pt = { (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 };
    return pt;
}

// A click with the pointer as messages: move onto the point, press, release.
void ClickAt(HWND hWnd, POINT pt)
{
    SendMessageW(hWnd, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
    SendMessageW(hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    SendMessageW(hWnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
}

void ClickClose(CDlgMsgBox& box, HWND hBox) { ClickAt(hBox, Centre(box.m_btnClose.m_rcWnd)); }

SIZE LineExtent(LPCWSTR psz) { return MeasureText(g_skin.GetFont(6), psz); }

bool IsRegistered(CDlgMsgBox& box, CSomWnd* p)
{
    for (CSomWnd* w : box.m_aWnds)
        if (w == p)
            return true;
    return false;
}

}  // namespace

TEST(MsgBoxLayout, TitleAndTwoLines)
{
    CDlgMsgBox box(kDiskTitle, kDiskLine, kDiskHint, (LPCWSTR)NULL);
    ASSERT_EQ(2, box.m_nLines);
    RECT rcWnd = {}, rcClient = {}, rcWork = {};
    RECT rcTitle = {}, rcLine0 = {}, rcLine1 = {}, rcClose = {};
    std::wstring strTitle, strLine0;
    size_t nElements = 0;
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        GetWindowRect(h, &rcWnd);
        GetClientRect(h, &rcClient);
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0);
        rcTitle = box.m_wndTitle.m_rcWnd;
        rcLine0 = box.m_pLineWnds[0].m_rcWnd;
        rcLine1 = box.m_pLineWnds[1].m_rcWnd;
        rcClose = box.m_btnClose.m_rcWnd;
        strTitle = box.m_wndTitle.m_strText;
        strLine0 = box.m_pLineWnds[0].m_strText;
        nElements = box.m_aWnds.size();
        ClickClose(box, h);
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));

    SIZE l0 = LineExtent(kDiskLine), l1 = LineExtent(kDiskHint);
    const LONG cx = (l0.cx > l1.cx ? l0.cx : l1.cx) + 100;
    const LONG cy = l0.cy + l1.cy + 100;
    EXPECT_EQ(cx, rcWnd.right - rcWnd.left);
    EXPECT_EQ(cy, rcWnd.bottom - rcWnd.top);
    EXPECT_EQ(cx, rcClient.right);  // no frame: the client area is the window
    EXPECT_EQ(cy, rcClient.bottom);
    // Centred on the screen's work area (there is no owner).
    EXPECT_NEAR((rcWork.left + rcWork.right) / 2, (rcWnd.left + rcWnd.right) / 2, 1);
    EXPECT_NEAR((rcWork.top + rcWork.bottom) / 2, (rcWnd.top + rcWnd.bottom) / 2, 1);

    EXPECT_EQ(L"{&#font=6}{&#color=0x252525}磁盘空间不足{&#/color}{&#/font}", strTitle);
    EXPECT_EQ(std::wstring(L"{&#font=6}{&#color=0x484848}") + kDiskLine + L"{&#/color}{&#/font}", strLine0);
    SIZE t = LineExtent(kDiskTitle);
    RECT rcTitleWant = { 15, 2, 15 + t.cx, 2 + t.cy };
    EXPECT_TRUE(EqualRect(&rcTitleWant, &rcTitle));
    RECT rcLine0Want = { 50, 40, 50 + l0.cx, 40 + l0.cy };
    EXPECT_TRUE(EqualRect(&rcLine0Want, &rcLine0));
    RECT rcLine1Want = { 50, 40 + l0.cy + 10, 50 + l1.cx, 40 + l0.cy + 10 + l1.cy };
    EXPECT_TRUE(EqualRect(&rcLine1Want, &rcLine1));
    // The close button: one 40 by 17 frame, flush right, one pixel below the top.
    RECT rcCloseWant = { cx - 40, 1, cx, 18 };
    EXPECT_TRUE(EqualRect(&rcCloseWant, &rcClose));
    EXPECT_EQ(4u, nElements);
}

TEST(MsgBoxLayout, NullTitleHasNoTitleElement)
{
    CDlgMsgBox box(NULL, L"only line", (LPCWSTR)NULL);
    bool bTitle = true;
    size_t nElements = 0;
    RECT rcWnd = {};
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        bTitle = IsRegistered(box, &box.m_wndTitle) || box.m_wndTitle.m_pManager != NULL;
        nElements = box.m_aWnds.size();
        GetWindowRect(h, &rcWnd);
        ClickClose(box, h);
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));
    EXPECT_FALSE(bTitle);
    EXPECT_EQ(2u, nElements);
    SIZE l = LineExtent(L"only line");
    EXPECT_EQ(l.cx + 100, rcWnd.right - rcWnd.left);
    EXPECT_EQ(l.cy + 90, rcWnd.bottom - rcWnd.top);
}

TEST(MsgBoxLayout, NoLinesGiveOneHundredByEighty)
{
    CDlgMsgBox box(L"标题", (LPCWSTR)NULL);
    EXPECT_EQ(0, box.m_nLines);
    RECT rcWnd = {}, rcClose = {};
    bool bTitle = false;
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        GetWindowRect(h, &rcWnd);
        rcClose = box.m_btnClose.m_rcWnd;
        bTitle = IsRegistered(box, &box.m_wndTitle);
        ClickClose(box, h);
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));
    EXPECT_EQ(100, rcWnd.right - rcWnd.left);
    EXPECT_EQ(80, rcWnd.bottom - rcWnd.top);
    RECT rcCloseWant = { 60, 1, 100, 18 };
    EXPECT_TRUE(EqualRect(&rcCloseWant, &rcClose));
    EXPECT_TRUE(bTitle);
}

TEST(MsgBoxText, LongTextsAreCutAtTheirBuffers)
{
    std::wstring title(700, L'T');
    std::wstring line(3000, L'L');
    CDlgMsgBox box(title.c_str(), line.c_str(), L"short", (LPCWSTR)NULL);
    std::wstring strTitle, strLine, strShort;
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        strTitle = box.m_wndTitle.m_strText;
        strLine = box.m_pLineWnds[0].m_strText;
        strShort = box.m_pLineWnds[1].m_strText;
        ClickClose(box, h);
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));
    EXPECT_EQ(511u, strTitle.size());
    EXPECT_EQ(0u, strTitle.find(L"{&#font=6}{&#color=0x252525}TTT"));
    EXPECT_EQ(1023u, strLine.size());
    EXPECT_EQ(L"{&#font=6}{&#color=0x484848}short{&#/color}{&#/font}", strShort);
}

TEST(MsgBoxText, MarkupInALineTakesEffect)
{
    CDlgMsgBox box(L"t", L"{&#color=0x0000ff}red{&#/color} grey", (LPCWSTR)NULL);
    std::vector<SomTextRun> runs;
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        runs = box.m_pLineWnds[0].m_aRuns;
        ClickClose(box, h);
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));
    ASSERT_EQ(2u, runs.size());
    EXPECT_EQ(L"red", runs[0].strText);
    EXPECT_EQ(0xFF, runs[0].crColor);
    EXPECT_EQ(L" grey", runs[1].strText);
    EXPECT_EQ(0x484848, runs[1].crColor);
    EXPECT_EQ(g_skin.GetFont(6), runs[1].hFont);
}

TEST(MsgBoxMessages, EnterEscAndAltF4LeaveItOpen)
{
    CDlgMsgBox box(kDiskTitle, kDiskLine, kDiskHint, (LPCWSTR)NULL);
    // The drag starts it records are turned into WM_NULL: no real button is pressed.
    CMessageRecorder watch(&box.CIndirectDialogImpl<CDlgMsgBox>::m_hWnd, TRUE);
    bool bOpenAfterKeys = false;
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        SetForegroundWindow(h);
        SetFocus(h);
        PostMessageW(h, WM_KEYDOWN, VK_RETURN, 0x001C0001);
        PostMessageW(h, WM_KEYUP, VK_RETURN, 0xC01C0001);
        PostMessageW(h, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        PostMessageW(h, WM_KEYUP, VK_ESCAPE, 0xC0010001);
        PostMessageW(h, WM_SYSKEYDOWN, VK_F4, 0x203E0001);  // with Alt held
        PostMessageW(h, WM_SYSKEYUP, VK_F4, 0xE03E0001);
        PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
        PostMessageW(h, WM_CLOSE, 0, 0);
    });
    d.Add([&](HWND) {});  // let the keys work through the dialog manager
    d.Add([&](HWND) {});
    d.Add([&](HWND h) {
        bOpenAfterKeys = IsWindow(h) && IsWindowVisible(h);
        ClickClose(box, h);
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));
    EXPECT_TRUE(bOpenAfterKeys);
    // The dialog manager did turn the keys into the commands the box ignores.
    EXPECT_GE(watch.Count(IDOK), 1);
    EXPECT_GE(watch.Count(IDCANCEL), 2);
    EXPECT_EQ(1, watch.Count(IDC_MSGBOX_CLOSE));
}

TEST(MsgBoxMessages, CommandCloseEndsWithZeroWhateverTheCode)
{
    CDlgMsgBox box(L"t", L"l", (LPCWSTR)NULL);
    CBoxDriver d(&box);
    d.Add([&](HWND h) { SendMessageW(h, WM_COMMAND, MAKEWPARAM(IDC_MSGBOX_CLOSE, 7), 0); });
    EXPECT_EQ(0, box.DoModal(NULL, 0));
}

TEST(MsgBoxMessages, PressOutsideTheButtonDragsFromThatScreenPoint)
{
    CDlgMsgBox box(kDiskTitle, kDiskLine, kDiskHint, (LPCWSTR)NULL);
    // The drag starts it records are turned into WM_NULL: no real button is pressed.
    CMessageRecorder watch(&box.CIndirectDialogImpl<CDlgMsgBox>::m_hWnd, TRUE);
    std::vector<POINT> wanted;
    size_t nAfterButton = 99;
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        // Background, title, a line.
        POINT pts[] = { { 5, 60 }, Centre(box.m_wndTitle.m_rcWnd), Centre(box.m_pLineWnds[1].m_rcWnd) };
        for (POINT pt : pts) {
            SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
            SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
            ClientToScreen(h, &pt);
            wanted.push_back(pt);
        }
    });
    d.Add([&](HWND h) {
        // The close button takes its press: no drag.
        nAfterButton = watch.m_drags.size();
        POINT pt = Centre(box.m_btnClose.m_rcWnd);
        SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    });
    d.Add([&](HWND h) {
        nAfterButton = watch.m_drags.size() - nAfterButton;
        POINT pt = Centre(box.m_btnClose.m_rcWnd);
        SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));
    ASSERT_EQ(3u, wanted.size());
    ASSERT_EQ(3u, watch.m_drags.size());
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ((WPARAM)HTCAPTION, watch.m_drags[i].first);
        EXPECT_EQ(wanted[i].x, (short)LOWORD(watch.m_drags[i].second)) << i;
        EXPECT_EQ(wanted[i].y, (short)HIWORD(watch.m_drags[i].second)) << i;
    }
    EXPECT_EQ(0u, nAfterButton);
}

TEST(MsgBoxMessages, TimerTickIsSwallowed)
{
    CDlgMsgBox box(L"t", L"a line", (LPCWSTR)NULL);
    POINT ptSaved;
    GetCursorPos(&ptSaved);
    LRESULT lTimer = -1;
    bool bHoverKept = false;
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        POINT pt = Centre(box.m_btnClose.m_rcWnd);
        SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(pt.x, pt.y));
        // The pointer is now far outside the box; the manager's tick would end the hover.
        SetCursorPos(0, 0);
        lTimer = SendMessageW(h, WM_TIMER, SOM_TIMER_ID, 0);
        bHoverKept = box.m_btnClose.m_bHover && box.m_pHover == &box.m_btnClose;
        SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));
    SetCursorPos(ptSaved.x, ptSaved.y);
    EXPECT_EQ(0, lTimer);
    EXPECT_TRUE(bHoverKept);
}

TEST(MsgBoxPaint, BackgroundIsTwoBandsOfTheMainSkinInARaisedEdge)
{
    CDlgMsgBox box(NULL, L"x", (LPCWSTR)NULL);
    const int cxCanvas = 300, cyCanvas = 200;
    CDibSurface canvas(cxCanvas, cyCanvas, RGB(255, 255, 255));
    RECT rcClient = {};
    CBoxDriver d(&box);
    d.Add([&](HWND h) {
        GetClientRect(h, &rcClient);
        SendMessageW(h, WM_PRINTCLIENT, (WPARAM)canvas.Dc(), PRF_CLIENT);
        ClickClose(box, h);
    });
    EXPECT_EQ(0, box.DoModal(NULL, 0));

    CSomBitmap& bk = g_skin.m_bmpMainBk;
    CDibSurface skin(bk.GetFrameWidth(), bk.GetHeight(), RGB(255, 255, 255));
    bk.Draw(skin.Dc(), 0, 0, 0);
    ASSERT_GT(rcClient.bottom, 40);
    // Rows 0..17 from the banner at column offset 10; below, the skin from row 168.
    EXPECT_EQ(skin.Pixel(10 + 8, 10), canvas.Pixel(8, 10));
    EXPECT_EQ(skin.Pixel(10 + 30, 17), canvas.Pixel(30, 17));
    EXPECT_EQ(skin.Pixel(10 + 20, 168), canvas.Pixel(20, 18));
    EXPECT_EQ(skin.Pixel(10 + 20, 168 + 10), canvas.Pixel(20, 28));
    EXPECT_EQ(skin.Pixel(10 + 3, 168 + rcClient.bottom - 20), canvas.Pixel(3, rcClient.bottom - 2));
    // The one-pixel raised frame.
    EXPECT_EQ(GetSysColor(COLOR_3DLIGHT), canvas.Pixel(0, 30));
    EXPECT_EQ(GetSysColor(COLOR_3DLIGHT), canvas.Pixel(30, 0));
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), canvas.Pixel(rcClient.right - 1, 30));
    EXPECT_EQ(GetSysColor(COLOR_3DDKSHADOW), canvas.Pixel(30, rcClient.bottom - 1));
}
