// The hand-off helpers: empty marker files with their folders, and starting the restore
// tool with " /set" and waiting for it while only paint messages get through.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <string>
#include "install/Handoff.h"
#include "TestFiles.h"

static std::wstring TestRoot()
{
    WCHAR sz[MAX_PATH];
    wnsprintfW(sz, MAX_PATH, L"C:\\kvtest-handoff-%lu", ::GetCurrentProcessId());
    return sz;
}

static void RemoveTree(const std::wstring& path)
{
    WCHAR szFrom[MAX_PATH + 2] = { 0 };
    lstrcpynW(szFrom, path.c_str(), MAX_PATH);
    SHFILEOPSTRUCTW op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = szFrom;
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    ::SHFileOperationW(&op);
}

static LONGLONG FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &fad))
        return -1;
    return ((LONGLONG)fad.nFileSizeHigh << 32) | fad.nFileSizeLow;
}

TEST(MarkerFile, CreatesFoldersAndAnEmptyFileAndKeepsAnExistingOne)
{
    std::wstring root = TestRoot();
    std::wstring marker = root + L"\\a\\b\\xp.cfg";
    EXPECT_TRUE(CreateMarkerFile((root + L"\\a\\b").c_str(), L"xp.cfg"));
    EXPECT_EQ(0, FileSize(marker));

    HANDLE h = ::CreateFileW(marker.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    DWORD cb;
    ::WriteFile(h, "old", 3, &cb, NULL);
    ::CloseHandle(h);
    EXPECT_TRUE(CreateMarkerFile((root + L"\\a\\b").c_str(), L"xp.cfg")) << "an existing file still counts";
    EXPECT_EQ(3, FileSize(marker)) << "and is not truncated";

    EXPECT_FALSE(CreateMarkerFile((root + L"\\a\\b\\xp.cfg").c_str(), L"inner.cfg")) << "a folder that is a file";
    RemoveTree(root);
}

class RunAndWaitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The test runs from outside every drive (a \\?\unix path): the child is copied
        // to a drive folder, as the installer writes the tool to the image folder.
        std::wstring built = ProgramFolder() + L"\\install_probe_child.exe";
        m_root = TestRoot();
        ::CreateDirectoryW(m_root.c_str(), NULL);
        m_child = m_root + L"\\Braskmir.exe";
        if (!::CopyFileW(built.c_str(), m_child.c_str(), FALSE))
            ADD_FAILURE() << "copy of the probe child failed: " << ::GetLastError() << " "
                          << std::string(built.begin(), built.end());
        m_out = m_root + L"\\probe.txt";
        ::SetEnvironmentVariableW(L"KV_PROBE_OUT", m_out.c_str());
        ::SetEnvironmentVariableW(L"KV_PROBE_SLEEP_MS", L"0");
        ::SetEnvironmentVariableW(L"KV_PROBE_EXIT", L"0");
    }
    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"KV_PROBE_OUT", NULL);
        RemoveTree(m_root);
    }
    std::wstring Report()
    {
        HANDLE h = ::CreateFileW(m_out.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
        if (h == INVALID_HANDLE_VALUE)
            return L"";
        WCHAR sz[1024] = { 0 };
        DWORD cb = 0;
        ::ReadFile(h, sz, sizeof(sz) - sizeof(WCHAR), &cb, NULL);
        ::CloseHandle(h);
        return sz;
    }
    std::wstring m_child, m_root, m_out;
};

TEST_F(RunAndWaitTest, CommandLineIsExactlySetAndTheWindowIsShown)
{
    ASSERT_TRUE(::PathFileExistsW(m_child.c_str()))
        << "probe child beside the test: " << std::string(m_child.begin(), m_child.end());
    EXPECT_TRUE(RunAndWait(m_child.c_str(), RESTORE_TOOL_ARGS));
    WCHAR szExpected[64];
    wnsprintfW(szExpected, 64, L"[ /set]|%u|%lu|%u", (UINT)sizeof(STARTUPINFOW), (DWORD)STARTF_USESHOWWINDOW, (UINT)SW_SHOW);
    EXPECT_EQ(std::wstring(szExpected), Report());
}

TEST_F(RunAndWaitTest, WaitsForTheEndWhatEverTheExitCode)
{
    ::SetEnvironmentVariableW(L"KV_PROBE_SLEEP_MS", L"1500");
    ::SetEnvironmentVariableW(L"KV_PROBE_EXIT", L"3");
    DWORD dwStart = ::GetTickCount();
    EXPECT_TRUE(RunAndWait(m_child.c_str(), L" /set"));
    EXPECT_GE(::GetTickCount() - dwStart, 1400u);
}

TEST_F(RunAndWaitTest, MissingProgramIsFalse)
{
    std::wstring missing = m_root + L"\\missing\\Braskmir.exe";
    EXPECT_FALSE(RunAndWait(missing.c_str(), L" /set"));
}

static int s_nPaints;
static int s_nUserMsgs;

static LRESULT CALLBACK CountingProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_PAINT) {
        PAINTSTRUCT ps;
        ::BeginPaint(hWnd, &ps);
        ::EndPaint(hWnd, &ps);
        s_nPaints++;
        return 0;
    }
    if (uMsg == WM_USER + 1 || uMsg == WM_TIMER)
        s_nUserMsgs++;
    return ::DefWindowProcW(hWnd, uMsg, wParam, lParam);
}

TEST_F(RunAndWaitTest, WhileWaitingOnlyPaintMessagesAreDispatched)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = ::GetModuleHandleW(NULL);
    wc.lpszClassName = L"KvPaintCounter";
    ::RegisterClassW(&wc);
    HWND hWnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, NULL, NULL,
                                  wc.hInstance, NULL);
    ASSERT_TRUE(hWnd != NULL);
    MSG msg;
    while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
    s_nPaints = s_nUserMsgs = 0;

    ::InvalidateRect(hWnd, NULL, FALSE);
    ::PostMessageW(hWnd, WM_USER + 1, 0, 0);
    ::SetTimer(hWnd, 1, 50, NULL);
    ::SetEnvironmentVariableW(L"KV_PROBE_SLEEP_MS", L"800");
    EXPECT_TRUE(RunAndWait(m_child.c_str(), L" /set"));
    EXPECT_GE(s_nPaints, 1) << "the window kept painting";
    EXPECT_EQ(0, s_nUserMsgs) << "posted messages and timers waited";
    EXPECT_TRUE(::PeekMessageW(&msg, hWnd, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    ::KillTimer(hWnd, 1);
    ::DestroyWindow(hWnd);
}
