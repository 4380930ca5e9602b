// The text element in a real host window with its manager: sizing, repaint requests,
// hover, press and capture, link actions, run colours and painting.
#include <gtest/gtest.h>
#include "text/SomTextWnd.h"
#include "som/SomSkin.h"
#include "DibSurface.h"
#include "MessagePump.h"
#include "TestFiles.h"
#include "TestHost.h"

namespace {

const DWORD kFlags = SWF_VISIBLE | SWF_AUTOSIZE | SWF_TRANSPARENT;

class TextWndTest : public testing::Test
{
protected:
    CTestHost m_host;
    CSomTextWnd m_wnd;
    CSomTextWnd m_wnd2;  // a second element of the same host
    POINT m_org;         // the element's top-left corner in client coordinates

    void SetUp() override
    {
        // Hidden, so the real pointer cannot reach it; white under the text.
        m_host.m_crBk = RGB(255, 255, 255);
        ASSERT_TRUE(m_host.CreateHost(0, 0, 600, 100, 0, FALSE, FALSE) != NULL);
        m_org.x = 20;
        m_org.y = 10;
        ASSERT_TRUE(m_wnd.Create(&m_host, m_org.x, m_org.y, kFlags));
    }

    void TearDown() override { m_host.DestroyHost(); }

    // Client coordinates of the centre of run i.
    POINT RunCentre(int i) const
    {
        const RECT& rc = m_wnd.m_aRuns[i].rc;
        POINT pt = { m_org.x + (rc.left + rc.right) / 2, m_org.y + (rc.top + rc.bottom) / 2 };
        return pt;
    }
    void MoveTo(int i)
    {
        POINT p = RunCentre(i);
        m_host.Mouse(WM_MOUSEMOVE, p.x, p.y);
    }
    LRESULT DownOn(int i)
    {
        POINT p = RunCentre(i);
        return m_host.Mouse(WM_LBUTTONDOWN, p.x, p.y);
    }
    LRESULT UpOn(int i)
    {
        POINT p = RunCentre(i);
        return m_host.Mouse(WM_LBUTTONUP, p.x, p.y);
    }
    // A click on run i as the pointer does it: move there, press, release.
    void Click(int i)
    {
        MoveTo(i);
        DownOn(i);
        UpOn(i);
    }
};

}  // namespace

TEST_F(TextWndTest, AutoSizeIsTheTextExtent)
{
    m_wnd.SetText(L"{&#font=6}{&#color=0x484848}WinXP{&#/color}（{&#color=0x0080ff}推荐{&#/color}）{&#/font}");
    ASSERT_EQ(4u, m_wnd.m_aRuns.size());
    SIZE sz = MeasureText(g_skin.GetFont(6), L"WinXP（推荐）");
    LONG cx = 0;
    for (const SomTextRun& r : m_wnd.m_aRuns)
        cx += MeasureText(g_skin.GetFont(6), r.strText).cx;
    RECT rc;
    m_wnd.GetWndRect(&rc);
    EXPECT_EQ(m_org.x, rc.left);
    EXPECT_EQ(m_org.y, rc.top);
    EXPECT_EQ(cx, rc.right - rc.left);
    EXPECT_EQ(sz.cy, rc.bottom - rc.top);

    // Text without a font tag is measured in the default font 3.
    m_wnd.SetText(L"plain");
    SIZE sz3 = MeasureText(g_skin.GetFont(3), L"plain");
    EXPECT_EQ(sz3.cx, m_wnd.GetWidth());
    EXPECT_EQ(sz3.cy, m_wnd.GetHeight());

    // A new default font lays the text out again.
    m_wnd.SetFont(g_skin.GetFont(8));
    SIZE sz8 = MeasureText(g_skin.GetFont(8), L"plain");
    EXPECT_EQ(sz8.cx, m_wnd.GetWidth());
    EXPECT_EQ(sz8.cy, m_wnd.GetHeight());
}

TEST_F(TextWndTest, NullOrTagOnlyTextIsZeroByZero)
{
    m_wnd.SetText(L"something");
    ASSERT_GT(m_wnd.GetWidth(), 0);
    m_wnd.SetText(NULL);
    EXPECT_TRUE(m_wnd.m_aRuns.empty());
    EXPECT_EQ(0, m_wnd.GetWidth());
    EXPECT_EQ(0, m_wnd.GetHeight());
    EXPECT_EQ(L"", m_wnd.m_strText);
    m_wnd.SetText(L"x");
    m_wnd.SetText(L"{&#font=6}{&#/font}");
    EXPECT_EQ(0, m_wnd.GetWidth());
    EXPECT_EQ(0, m_wnd.GetHeight());
}

TEST_F(TextWndTest, WithoutAutoSizeTheElementKeepsItsSize)
{
    m_wnd2.Create(&m_host, 0, 50, 7, 5, SWF_VISIBLE);
    EXPECT_TRUE(m_wnd2.IsTransparent());  // every text element is see-through
    m_wnd2.SetText(L"a rather long text that overflows");
    EXPECT_EQ(7, m_wnd2.GetWidth());
    EXPECT_EQ(5, m_wnd2.GetHeight());
    EXPECT_GT(m_wnd2.m_aRuns[0].rc.right, 7);
}

TEST_F(TextWndTest, MaxWidthLimitsTheAutoSize)
{
    m_wnd.SetText(L"{&#font=8}a rather long text{&#/font}");
    ASSERT_GT(m_wnd.GetWidth(), 50);
    m_wnd.SetMaxWidth(50);
    EXPECT_EQ(50, m_wnd.GetWidth());
    m_wnd.SetText(L"ab");
    EXPECT_EQ(MeasureText(g_skin.GetFont(3), L"ab").cx, m_wnd.GetWidth());
}

TEST_F(TextWndTest, UnchangedTextDoesNothingAndKeepsHover)
{
    LPCWSTR psz = L"see {&#a=button:9}this{&#/a}";
    m_wnd.SetText(psz);
    MoveTo(1);
    ASSERT_EQ(1, m_wnd.m_nHoverRun);
    m_host.ResetCounts();

    std::wstring same(psz);  // equal text in another buffer
    m_wnd.SetText(same.c_str());
    EXPECT_EQ(0, m_host.m_nInvalidates);
    EXPECT_EQ(0, m_host.m_nSetSizes);
    EXPECT_EQ(1, m_wnd.m_nHoverRun);

    // Case matters: this is a new text, which resets the hover and repaints.
    m_wnd.SetText(L"see {&#A=button:9}this{&#/a}");
    EXPECT_EQ(-1, m_wnd.m_nHoverRun);
    EXPECT_GE(m_host.m_nInvalidates, 1);
}

TEST_F(TextWndTest, PressOnPlainRunOrOutsideRunsReturnsFalse)
{
    m_wnd.SetText(L"{&#font=8}Big{&#/font}plain");
    MoveTo(1);
    DownOn(1);
    EXPECT_EQ(1, m_host.m_nPassedDown);  // the host saw the press
    EXPECT_EQ(-1, m_wnd.m_nPressedRun);
    EXPECT_NE(m_host.Hwnd(), GetCapture());
    m_host.Mouse(WM_LBUTTONUP, RunCentre(1).x, RunCentre(1).y);
    EXPECT_TRUE(m_host.m_commands.empty());

    // Above the smaller run: inside the element, in no run.
    POINT pt = { m_wnd.m_aRuns[1].rc.left + 1, 0 };
    ASSERT_LT(pt.y, m_wnd.m_aRuns[1].rc.top);
    EXPECT_FALSE(m_wnd.OnLButtonDown(pt));
    EXPECT_FALSE(m_wnd.OnLButtonDblClk(pt));
}

TEST_F(TextWndTest, PressAndReleaseOnLinkActsOnce)
{
    m_wnd.SetText(L"go {&#a=button:0x0401}here{&#/a}");
    MoveTo(1);
    EXPECT_EQ(0, DownOn(1));
    EXPECT_EQ(0, m_host.m_nPassedDown);  // the link took the press
    EXPECT_EQ(1, m_wnd.m_nPressedRun);
    EXPECT_EQ(m_host.Hwnd(), GetCapture());
    EXPECT_EQ(&m_wnd, m_host.m_pCapture);
    EXPECT_TRUE(m_host.m_commands.empty());

    UpOn(1);
    ASSERT_EQ(1u, m_host.m_commands.size());
    EXPECT_EQ(1025, m_host.m_commands[0].wID);
    EXPECT_EQ(0, m_host.m_commands[0].wCode);
    EXPECT_EQ((LPARAM)&m_wnd, m_host.m_commands[0].lParam);
    EXPECT_EQ(-1, m_wnd.m_nPressedRun);
    EXPECT_EQ(1, m_wnd.m_nHoverRun);
    EXPECT_NE(m_host.Hwnd(), GetCapture());
    EXPECT_EQ(NULL, m_host.m_pCapture);

    // A second release without a press does nothing more.
    UpOn(1);
    EXPECT_EQ(1u, m_host.m_commands.size());
}

TEST_F(TextWndTest, ReleaseOutsideTheElementDoesNothing)
{
    m_wnd.SetText(L"{&#a=button:5}link{&#/a}");
    MoveTo(0);
    DownOn(0);
    ASSERT_EQ(0, m_wnd.m_nPressedRun);
    int xOut = m_wnd.m_rcWnd.right + 30;
    m_host.Mouse(WM_MOUSEMOVE, xOut, RunCentre(0).y);
    EXPECT_EQ(-1, m_wnd.m_nHoverRun);
    m_host.Mouse(WM_LBUTTONUP, xOut, RunCentre(0).y);
    EXPECT_TRUE(m_host.m_commands.empty());
    EXPECT_EQ(-1, m_wnd.m_nPressedRun);
    EXPECT_NE(m_host.Hwnd(), GetCapture());

    // Leaving and coming back before the release still acts.
    MoveTo(0);
    DownOn(0);
    m_host.Mouse(WM_MOUSEMOVE, xOut, RunCentre(0).y);
    MoveTo(0);
    UpOn(0);
    ASSERT_EQ(1u, m_host.m_commands.size());
    EXPECT_EQ(5, m_host.m_commands[0].wID);
}

TEST_F(TextWndTest, PressOnOneLinkReleaseOverAnotherActsForTheOther)
{
    m_wnd.SetText(L"{&#a=button:1}AAAA{&#/a} {&#a=button:2}BBBB{&#/a}");
    ASSERT_EQ(3u, m_wnd.m_aRuns.size());
    MoveTo(0);
    DownOn(0);
    MoveTo(2);
    EXPECT_EQ(2, m_wnd.m_nHoverRun);
    EXPECT_EQ(0, m_wnd.m_nPressedRun);
    UpOn(2);
    ASSERT_EQ(1u, m_host.m_commands.size());
    EXPECT_EQ(2, m_host.m_commands[0].wID);
}

TEST_F(TextWndTest, CommandIdentifiers)
{
    struct
    {
        LPCWSTR pszLink;
        WORD wID;
    } cases[] = {
        { L"button:0x0401", 0x0401 },
        { L"button:1025", 1025 },
        { L"BUTTON:0X0401", 0x0401 },
        { L"button:0x10401", 0x0401 },  // above 0xFFFF: the low 16 bits
        { L"button:70657", 0x1401 },    // 70657 = 0x11401
        { L"button:", 0 },
        { L"button:abc", 0 },
        { L"button:0xFFFFFFFFF", 0xFFFF },  // saturates at 0x7FFFFFFF first
    };
    for (auto& c : cases) {
        std::wstring s = std::wstring(L"{&#a=") + c.pszLink + L"}click{&#/a}";
        m_wnd.SetText(s.c_str());
        m_host.ResetCounts();
        Click(0);
        ASSERT_EQ(1u, m_host.m_commands.size()) << testing::PrintToString(std::wstring(c.pszLink));
        EXPECT_EQ(c.wID, m_host.m_commands[0].wID) << testing::PrintToString(std::wstring(c.pszLink));
    }
}

TEST_F(TextWndTest, DoubleClickPressesLikeAClick)
{
    m_wnd.SetText(L"{&#a=button:3}twice{&#/a}");
    Click(0);
    POINT p = RunCentre(0);
    SendMessageW(m_host.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    m_host.Mouse(WM_LBUTTONUP, p.x, p.y);
    EXPECT_EQ(2u, m_host.m_commands.size());
}

TEST_F(TextWndTest, LinkOfSeveralRunsHoversRunByRun)
{
    m_wnd.SetText(L"{&#a=button:7}ab{&#font=8}CD{&#/font}{&#/a}tail");
    ASSERT_EQ(3u, m_wnd.m_aRuns.size());
    m_host.ResetCounts();
    MoveTo(0);
    EXPECT_EQ(0, m_wnd.m_nHoverRun);
    ASSERT_EQ(1u, m_host.m_parts.size());
    EXPECT_EQ(1, m_host.m_parts[0]);
    EXPECT_TRUE(EqualRect(&m_wnd.m_aRuns[0].rc, &m_host.m_partRects[0]));

    // Moving within the hovered run asks for no repaint.
    m_host.ResetCounts();
    MoveTo(0);
    EXPECT_EQ(0, m_host.m_nInvalidates);

    m_host.ResetCounts();
    MoveTo(1);
    EXPECT_EQ(1, m_wnd.m_nHoverRun);
    ASSERT_EQ(2u, m_host.m_parts.size());
    EXPECT_EQ(2, m_host.m_parts[0]);  // the new hover run
    EXPECT_EQ(1, m_host.m_parts[1]);  // the old one
    EXPECT_EQ(m_wnd.m_crLink, m_wnd.GetRunColor(0));
    EXPECT_EQ(m_wnd.m_crLinkHover, m_wnd.GetRunColor(1));

    // Over a plain run nothing is hovered.
    MoveTo(2);
    EXPECT_EQ(-1, m_wnd.m_nHoverRun);
}

TEST_F(TextWndTest, PointInNoRunKeepsHoverAndHostCursor)
{
    m_wnd.SetText(L"{&#font=8}Big{&#/font}{&#a=button:4}small{&#/a}");
    MoveTo(1);
    ASSERT_EQ(1, m_wnd.m_nHoverRun);
    const RECT& rc = m_wnd.m_aRuns[1].rc;
    ASSERT_GT(rc.top, 0);
    m_host.Mouse(WM_MOUSEMOVE, m_org.x + rc.left + 1, m_org.y + 0);
    EXPECT_EQ(1, m_wnd.m_nHoverRun);
    POINT pt = { rc.left + 1, 0 };
    EXPECT_FALSE(m_wnd.OnSetCursor(pt));

    pt.y = rc.top;
    EXPECT_TRUE(m_wnd.OnSetCursor(pt));
    EXPECT_EQ(LoadCursorW(NULL, IDC_HAND), GetCursor());
    pt.x = 1;
    pt.y = m_wnd.m_aRuns[0].rc.top + 1;
    EXPECT_FALSE(m_wnd.OnSetCursor(pt));  // a plain run
}

TEST_F(TextWndTest, LeavingClearsHover)
{
    m_wnd.SetText(L"{&#a=button:4}x{&#/a}");
    MoveTo(0);
    m_host.ResetCounts();
    m_host.Mouse(WM_MOUSEMOVE, 590, 90);  // host area with no element
    EXPECT_EQ(-1, m_wnd.m_nHoverRun);
    ASSERT_EQ(1u, m_host.m_parts.size());
    EXPECT_EQ(1, m_host.m_parts[0]);
}

TEST_F(TextWndTest, NewTextWhilePressedReleasesTheCaptureFirst)
{
    m_wnd.SetText(L"{&#a=button:6}press{&#/a}");
    MoveTo(0);
    DownOn(0);
    ASSERT_EQ(m_host.Hwnd(), GetCapture());
    m_wnd.SetText(L"{&#a=button:8}new text{&#/a}");
    EXPECT_NE(m_host.Hwnd(), GetCapture());
    EXPECT_EQ(NULL, m_host.m_pCapture);
    EXPECT_EQ(-1, m_wnd.m_nPressedRun);
    EXPECT_EQ(-1, m_wnd.m_nHoverRun);
    // The release came back while the old runs were in place, with the pointer on the
    // old link: its command, not the new one's.
    ASSERT_EQ(1u, m_host.m_commands.size());
    EXPECT_EQ(6, m_host.m_commands[0].wID);
    EXPECT_EQ(L"new text", m_wnd.m_aRuns[0].strText);
}

TEST_F(TextWndTest, RunColours)
{
    m_wnd.SetText(L"plain{&#a=L}link{&#/a}{&#acolor=0x0000ff}{&#a=button:1}red{&#/a}{&#/acolor}"
                  L"{&#color=0x7FFFFFFF}white{&#/color}{&#color=#FF0000}blue");
    ASSERT_EQ(5u, m_wnd.m_aRuns.size());
    EXPECT_EQ(m_wnd.m_crText, m_wnd.GetRunColor(0));
    EXPECT_EQ(m_wnd.m_crLink, m_wnd.GetRunColor(1));
    EXPECT_NE(m_wnd.GetRunColor(0), m_wnd.GetRunColor(1));
    EXPECT_EQ(0x0000FFu, m_wnd.GetRunColor(2));
    EXPECT_EQ(0xFFFFFFu, m_wnd.GetRunColor(3));
    EXPECT_EQ(0xFF0000u, m_wnd.GetRunColor(4));
    MoveTo(2);
    EXPECT_EQ(m_wnd.m_crLinkHover, m_wnd.GetRunColor(2));

    m_wnd.SetLinkColors(0xFFFFFF, 0x000000);
    EXPECT_EQ(0xFFFFFFu, m_wnd.GetRunColor(1));
    EXPECT_EQ(0x000000u, m_wnd.GetRunColor(2));

    m_host.ResetCounts();
    m_wnd.SetTextColor(0x123456);
    EXPECT_EQ(0x123456u, m_wnd.GetRunColor(0));
    EXPECT_EQ(1, m_host.m_nInvalidates);
    m_wnd.SetTextColor(0x123456);
    EXPECT_EQ(1, m_host.m_nInvalidates);
}

TEST_F(TextWndTest, PaintUsesTheRunColourInColorrefOrder)
{
    m_wnd.SetText(L"{&#font=8}{&#color=0x0080ff}MMMM");
    CDibSurface canvas(200, 40, RGB(255, 255, 255));
    m_wnd.OnPaint(canvas.Dc(), -1, 0);
    int nOrange = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 200; ++x)
            if (canvas.Pixel(x, y) == RGB(0xFF, 0x80, 0x00))
                ++nOrange;
    EXPECT_GT(nOrange, 10);
    EXPECT_EQ(TRANSPARENT, GetBkMode(canvas.Dc()));
}

TEST_F(TextWndTest, SubPartPaintsOnlyThatRun)
{
    m_wnd.SetText(L"{&#font=8}left{&#color=1}right");
    ASSERT_EQ(2u, m_wnd.m_aRuns.size());
    CDibSurface canvas(200, 40, RGB(255, 255, 255));
    m_wnd.OnPaint(canvas.Dc(), -1, 2);
    const RECT& a = m_wnd.m_aRuns[0].rc;
    const RECT& b = m_wnd.m_aRuns[1].rc;
    EXPECT_EQ(0, canvas.InkIn(a.left, 0, a.right, 40));
    EXPECT_GT(canvas.InkIn(b.left, 0, b.right, 40), 0);
    m_wnd.OnPaint(canvas.Dc(), -1, 99);  // no such run: nothing
    canvas.Fill(RGB(255, 255, 255));
    m_wnd.OnPaint(canvas.Dc(), -1, 0);
    EXPECT_GT(canvas.InkIn(a.left, 0, a.right, 40), 0);
}

TEST_F(TextWndTest, MaxWidthShortensAndDropsRuns)
{
    CSomTextWnd wnd;
    wnd.SetText(L"{&#font=6}MMMMMMMMMMMMMMMMMMMM{&#/font}");
    ASSERT_EQ(1u, wnd.m_aRuns.size());
    SomTextRun& run = wnd.m_aRuns[0];
    // The run from x 80 to 150.
    run.rc.left = 80;
    run.rc.right = 150;
    const int h = run.rc.bottom;
    CDibSurface canvas(220, h + 4, RGB(255, 255, 255));

    wnd.OnPaint(canvas.Dc(), -1, 0);
    ASSERT_GT(canvas.InkIn(100, 0, 150, h), 0);  // unlimited: drawn in full
    std::vector<DWORD> full = canvas.Block(80, 0, 100, h);

    canvas.Fill(RGB(255, 255, 255));
    wnd.m_nMaxWidth = 100;
    wnd.OnPaint(canvas.Dc(), -1, 0);
    EXPECT_EQ(0, canvas.InkIn(100, 0, 220, h + 4));
    EXPECT_GT(canvas.InkIn(80, 0, 100, h), 0);
    EXPECT_NE(full, canvas.Block(80, 0, 100, h));  // shortened, not merely clipped

    // A limit passed by the caller wins over the element's own.
    canvas.Fill(RGB(255, 255, 255));
    wnd.m_nMaxWidth = -1;
    wnd.OnPaint(canvas.Dc(), 100, 0);
    EXPECT_EQ(0, canvas.InkIn(100, 0, 220, h + 4));

    // The run from x 120: not drawn at all.
    canvas.Fill(RGB(255, 255, 255));
    wnd.m_nMaxWidth = 100;
    run.rc.left = 120;
    run.rc.right = 190;
    wnd.OnPaint(canvas.Dc(), -1, 0);
    EXPECT_EQ(0, canvas.InkIn(0, 0, 220, h + 4));
}

TEST_F(TextWndTest, ShellLinkIsOpenedAsWritten)
{
    // The link opens a copy of the probe program, which leaves "<its path>.txt" behind.
    std::wstring exe = TempDir() + L"kv_shell_link_" + std::to_wstring(GetCurrentProcessId()) + L".exe";
    std::wstring out = exe + L".txt";
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\kv_face_probe.exe").c_str(), exe.c_str(), FALSE))
        << testing::PrintToString(ProgramFolder()) << " error " << GetLastError();
    DeleteFileW(out.c_str());

    std::wstring markup = L"{&#a=\"" + exe + L"\"}open it{&#/a}";
    m_wnd.SetText(markup.c_str());
    ASSERT_EQ(L"\"" + exe + L"\"", m_wnd.m_aRuns[0].strLink);
    Click(0);
    EXPECT_TRUE(m_host.m_commands.empty());
    bool bRan = PumpUntil([&] { return GetFileAttributesW(out.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
    EXPECT_TRUE(bRan) << "the shell did not start " << testing::PrintToString(exe);
    Sleep(200);
    DeleteFileW(out.c_str());
    for (int i = 0; i < 50 && !DeleteFileW(exe.c_str()); ++i)
        Sleep(100);
}
