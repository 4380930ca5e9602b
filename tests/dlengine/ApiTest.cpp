// DLEngine.dll's entry points called directly: bad arguments give an error code and create
// nothing, the engine's start and shut-down, the error texts, and a stop that ends a task
// promptly while it waits between connection attempts; the extended entry points' arguments,
// the retrying state they report, mirrors added to a task, and a verify-only task.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include "engine/EngineBinding.h"
#include "StagedLibrary.h"

namespace {

class EngineApi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_lib.Stage(L"engine_dll"));
        m_bBound = LoadDLEngine(m_lib.Dir()) != NULL;
        ASSERT_TRUE(m_bBound);
        WCHAR szTemp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, szTemp);
        wnsprintfW(m_szDir, MAX_PATH, L"%skv-api-%lu", szTemp, ::GetCurrentProcessId());
        wnsprintfW(m_szPath, MAX_PATH, L"%s\\sub\\f.bin", m_szDir);
    }

    void TearDown() override
    {
        if (m_bBound)
            g_dlEngine.pfnUninit();
        WCHAR sz[MAX_PATH];
        static const WCHAR* const kSuffixes[] = { L"", L".dl", L".dl.cfg", L".dl.new" };
        for (size_t i = 0; i < 4; ++i) {
            wnsprintfW(sz, MAX_PATH, L"%s%s", m_szPath, kSuffixes[i]);
            ::DeleteFileW(sz);
        }
        wnsprintfW(sz, MAX_PATH, L"%s\\sub", m_szDir);
        ::RemoveDirectoryW(sz);
        ::RemoveDirectoryW(m_szDir);
    }

    LONG Create(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR pszReferrer, LONG* plTask)
    {
        return g_dlEngine.pfnURLDownloadToFile(pszPath, pszUrl, pszReferrer, plTask);
    }

    CStagedLibrary m_lib;
    BOOL m_bBound = FALSE;
    WCHAR m_szDir[MAX_PATH];
    WCHAR m_szPath[MAX_PATH];
};

// A string of n copies of c after the prefix.
void Fill(LPWSTR psz, int cchBuf, LPCWSTR pszPrefix, WCHAR c, int n)
{
    lstrcpynW(psz, pszPrefix, cchBuf);
    int o = lstrlenW(psz);
    for (int i = 0; i < n && o < cchBuf - 1; ++i)
        psz[o++] = c;
    psz[o] = L'\0';
}

TEST_F(EngineApi, CallsBeforeStartAreRefused)
{
    LONG lTask = 99;
    EXPECT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, &lTask), 3);  // DLE_NOT_INITIALIZED
    EXPECT_EQ(lTask, 0);
    LONG lStatus;
    ULONGLONG t, r;
    EXPECT_EQ(g_dlEngine.pfnQueryTaskInfo(1, &lStatus, &t, &r), 3);
    EXPECT_EQ(g_dlEngine.pfnStopTask(1), 3);
    EXPECT_EQ(g_dlEngine.pfnUninit(), 0) << "shutting down an engine that never started is harmless";
}

TEST_F(EngineApi, BadArgumentsGiveErrorCodesAndNoTask)
{
    ASSERT_TRUE(g_dlEngine.pfnInit());
    LONG lTask = 99;
    EXPECT_EQ(Create(NULL, L"http://127.0.0.1:1/f", NULL, &lTask), 1);
    EXPECT_EQ(lTask, 0);
    EXPECT_EQ(Create(L"", L"http://127.0.0.1:1/f", NULL, &lTask), 1);
    EXPECT_EQ(Create(m_szPath, NULL, NULL, &lTask), 1);
    EXPECT_EQ(Create(m_szPath, L"", NULL, &lTask), 1);
    EXPECT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, NULL), 1);
    EXPECT_EQ(Create(L"C:\\folder\\", L"http://127.0.0.1:1/f", NULL, &lTask), 1) << "a folder is no target";

    static WCHAR szLong[4000];
    Fill(szLong, 4000, L"C:\\", L'a', 300);
    EXPECT_EQ(Create(szLong, L"http://127.0.0.1:1/f", NULL, &lTask), 2);
    Fill(szLong, 4000, L"http://127.0.0.1/", L'a', 2100);
    EXPECT_EQ(Create(m_szPath, szLong, NULL, &lTask), 2);
    EXPECT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", szLong, &lTask), 2);

    static const WCHAR* const kUnsupported[] = {
        L"ftp://127.0.0.1/f",
        L"http://",
        L"http://127.0.0.1:99999/f",
        L"http://user:pw@127.0.0.1/f",
        L"http://bad host/f",
        L"127.0.0.1/f",
        L"http://[::1/f",
    };
    for (size_t i = 0; i < sizeof(kUnsupported) / sizeof(kUnsupported[0]); ++i)
        EXPECT_EQ(Create(m_szPath, kUnsupported[i], NULL, &lTask), 6) << i;
    EXPECT_EQ(lTask, 0);

    LONG lStatus = 0;
    ULONGLONG t = 0, r = 0;
    EXPECT_EQ(g_dlEngine.pfnQueryTaskInfo(12345, &lStatus, &t, &r), 4);
    EXPECT_EQ(g_dlEngine.pfnQueryTaskInfo(0, &lStatus, &t, &r), 4);
    EXPECT_EQ(g_dlEngine.pfnStopTask(12345), 4);
    EXPECT_EQ(g_dlEngine.pfnPauseTask(12345, TRUE), 4);
    EXPECT_EQ(g_dlEngine.pfnContinueTask(12345), 4);

    EXPECT_EQ(g_dlEngine.pfnContinueTaskFromWorkFile(NULL, &lTask), 1);
    EXPECT_EQ(g_dlEngine.pfnContinueTaskFromWorkFile(L"C:\\x.dl", NULL), 1);
    EXPECT_EQ(g_dlEngine.pfnContinueTaskFromWorkFile(L"C:\\x.bin", &lTask), 1) << "not a .dl work file";
    WCHAR szWork[MAX_PATH];
    wnsprintfW(szWork, MAX_PATH, L"%s.dl", m_szPath);
    EXPECT_EQ(g_dlEngine.pfnContinueTaskFromWorkFile(szWork, &lTask), 9);
    Fill(szLong, 4000, L"C:\\", L'a', 300);
    lstrcatW(szLong, L".dl");
    EXPECT_EQ(g_dlEngine.pfnContinueTaskFromWorkFile(szLong, &lTask), 2);
    EXPECT_EQ(lTask, 0);

    // None of these left a task or a file behind.
    for (LONG id = 1; id < 40; ++id)
        EXPECT_EQ(g_dlEngine.pfnQueryTaskInfo(id, &lStatus, &t, &r), 4) << id;
    EXPECT_FALSE(::PathFileExistsW(m_szDir));
}

TEST_F(EngineApi, ErrorTextsKeepTheLimit)
{
    WCHAR sz[16];
    for (int i = 0; i < 16; ++i)
        sz[i] = L'#';
    EXPECT_EQ(g_dlEngine.pfnGetErrorMsg(0, sz, 6), 0);
    EXPECT_STREQ(sz, L"succe");
    EXPECT_EQ(sz[6], L'#') << "wrote past the limit";
    EXPECT_EQ(g_dlEngine.pfnGetErrorMsg(28, sz, 16), 0);
    EXPECT_GT(lstrlenW(sz), 0);
    EXPECT_EQ(g_dlEngine.pfnGetErrorMsg(555, sz, 16), 1) << "unknown code";
    EXPECT_EQ(g_dlEngine.pfnGetErrorMsg(0, NULL, 16), 1);
    EXPECT_EQ(g_dlEngine.pfnGetErrorMsg(0, sz, 0), 1);
}

TEST_F(EngineApi, StartAgainAfterShutDown)
{
    ASSERT_TRUE(g_dlEngine.pfnInit());
    ASSERT_TRUE(g_dlEngine.pfnInit()) << "a second start while started is harmless";
    EXPECT_EQ(g_dlEngine.pfnUninit(), 0);
    EXPECT_EQ(g_dlEngine.pfnUninit(), 0) << "a second shut-down is harmless";
    LONG lTask = 0;
    EXPECT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, &lTask), 3);
    ASSERT_TRUE(g_dlEngine.pfnInit());
    EXPECT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, &lTask), 0);
    EXPECT_NE(lTask, 0);
}

// Port 1 on the loopback refuses connections, so the task keeps retrying with back-off.
TEST_F(EngineApi, StopEndsARetryingTaskPromptlyAndFreesItsPath)
{
    ASSERT_TRUE(g_dlEngine.pfnInit());
    LONG lTask = 0;
    ASSERT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, &lTask), 0);
    ::Sleep(1500);
    LONG lStatus = 0;
    ULONGLONG t = 0, r = 0;
    ASSERT_EQ(g_dlEngine.pfnQueryTaskInfo(lTask, &lStatus, &t, &r), 0);
    EXPECT_EQ(lStatus, 3) << "retrying the refused connection";

    LONG lOther = 0;
    EXPECT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, &lOther), 7) << "two tasks for one path";

    DWORD t0 = ::GetTickCount();
    EXPECT_EQ(g_dlEngine.pfnStopTask(lTask), 0);
    EXPECT_LT(::GetTickCount() - t0, 2000u);
    ASSERT_EQ(g_dlEngine.pfnQueryTaskInfo(lTask, &lStatus, &t, &r), 0);
    EXPECT_EQ(lStatus, 5);
    EXPECT_EQ(g_dlEngine.pfnStopTask(lTask), 0) << "stopping a stopped task is harmless";
    EXPECT_EQ(g_dlEngine.pfnContinueTask(lTask), 5) << "only a paused task continues";

    EXPECT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, &lOther), 0);
    EXPECT_NE(lOther, lTask);
    t0 = ::GetTickCount();
    EXPECT_EQ(g_dlEngine.pfnUninit(), 0);
    EXPECT_LT(::GetTickCount() - t0, 2000u) << "shut-down waits for no back-off";
}

TEST_F(EngineApi, PauseAndContinueOfARetryingTask)
{
    ASSERT_TRUE(g_dlEngine.pfnInit());
    LONG lTask = 0;
    ASSERT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, &lTask), 0);
    EXPECT_EQ(g_dlEngine.pfnPauseTask(lTask, TRUE), 0);
    LONG lStatus = 0;
    ULONGLONG t = 0, r = 0;
    g_dlEngine.pfnQueryTaskInfo(lTask, &lStatus, &t, &r);
    EXPECT_EQ(lStatus, 4);
    EXPECT_EQ(g_dlEngine.pfnPauseTask(lTask, TRUE), 0) << "pausing a paused task is harmless";
    EXPECT_EQ(g_dlEngine.pfnContinueTask(lTask), 0);
    g_dlEngine.pfnQueryTaskInfo(lTask, &lStatus, &t, &r);
    EXPECT_EQ(lStatus, 1);
    EXPECT_EQ(g_dlEngine.pfnStopTask(lTask), 0);
    g_dlEngine.pfnQueryTaskInfo(lTask, &lStatus, &t, &r);
    EXPECT_EQ(lStatus, 5);
}

// The extended entry points, bound by name as the installer binds them.
struct Extended
{
    PFN_DLCreateTaskEx pfnCreateEx;
    PFN_DLAddTaskMirror pfnAddMirror;
    PFN_DLQueryTaskInfoEx pfnQueryEx;
    PFN_DLVerifyFile pfnVerify;
    PFN_DLSetEngineOption pfnSetOption;

    BOOL Bind()
    {
        HMODULE h = ::GetModuleHandleW(L"DLEngine.dll");
        pfnCreateEx = (PFN_DLCreateTaskEx)::GetProcAddress(h, "DLCreateTaskEx");
        pfnAddMirror = (PFN_DLAddTaskMirror)::GetProcAddress(h, "DLAddTaskMirror");
        pfnQueryEx = (PFN_DLQueryTaskInfoEx)::GetProcAddress(h, "DLQueryTaskInfoEx");
        pfnVerify = (PFN_DLVerifyFile)::GetProcAddress(h, "DLVerifyFile");
        pfnSetOption = (PFN_DLSetEngineOption)::GetProcAddress(h, "DLSetEngineOption");
        return h && pfnCreateEx && pfnAddMirror && pfnQueryEx && pfnVerify && pfnSetOption &&
               ::GetProcAddress(h, "DLContinueTaskFromWorkFileEx") != NULL;
    }
};

const WCHAR kSha[] = L"0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789abcdef";

TEST_F(EngineApi, ExtendedCallsCheckTheirArguments)
{
    Extended x;
    ASSERT_TRUE(x.Bind());
    ASSERT_TRUE(g_dlEngine.pfnInit());
    LPCWSTR apsz[17];
    for (int i = 0; i < 17; ++i)
        apsz[i] = L"http://127.0.0.1:1/f";
    DL_TASK_PARAMS p = { sizeof(DL_TASK_PARAMS), m_szPath, apsz, 1, NULL, 0, NULL };
    LONG lTask = 99;
    EXPECT_EQ(x.pfnCreateEx(NULL, &lTask), 1);
    EXPECT_EQ(lTask, 0);
    DL_TASK_PARAMS bad = p;
    bad.cbSize = sizeof(DL_TASK_PARAMS) - 4;
    EXPECT_EQ(x.pfnCreateEx(&bad, &lTask), 1) << "short cbSize";
    bad = p;
    bad.cUrls = 0;
    EXPECT_EQ(x.pfnCreateEx(&bad, &lTask), 1) << "no address";
    bad.cUrls = 17;
    EXPECT_EQ(x.pfnCreateEx(&bad, &lTask), 1) << "more than DL_MAX_MIRRORS";
    bad = p;
    bad.pszSha256 = L"0123";
    EXPECT_EQ(x.pfnCreateEx(&bad, &lTask), 1) << "short SHA-256";
    WCHAR szSha[80];
    lstrcpynW(szSha, kSha, 80);
    szSha[10] = L'g';
    bad.pszSha256 = szSha;
    EXPECT_EQ(x.pfnCreateEx(&bad, &lTask), 1) << "not hexadecimal";
    lstrcpynW(szSha, kSha, 80);
    lstrcatW(szSha, L"0");
    EXPECT_EQ(x.pfnCreateEx(&bad, &lTask), 1) << "65 digits";
    LPCWSTR apszMixed[2] = { L"http://127.0.0.1:1/f", L"ftp://127.0.0.1/f" };
    bad = p;
    bad.ppszUrls = apszMixed;
    bad.cUrls = 2;
    EXPECT_EQ(x.pfnCreateEx(&bad, &lTask), 6) << "one unusable address refuses the task";
    EXPECT_EQ(lTask, 0);
    EXPECT_FALSE(::PathFileExistsW(m_szDir)) << "a refused call created the folder";

    EXPECT_EQ(x.pfnSetOption(99, 1000), 1);
    EXPECT_EQ(x.pfnSetOption(DL_OPTION_PATIENCE_MS, 0), 1) << "no patience at all is refused";
    EXPECT_EQ(x.pfnSetOption(DL_OPTION_PATIENCE_MS, 600000), 0);
    EXPECT_EQ(x.pfnAddMirror(12345, L"http://127.0.0.1:1/g"), 4);
    EXPECT_EQ(x.pfnVerify(m_szPath, 0, NULL, &lTask), 1) << "a verification needs the SHA-256";
    DL_TASK_INFO info = { 0 };
    EXPECT_EQ(x.pfnQueryEx(1, &info), 1) << "cbSize not set";
}

// Port 1 on the loopback refuses connections: the task retries within its patience, says so,
// takes more mirrors, and fails with the refusal's code once the patience is spent.
TEST_F(EngineApi, RetryingTaskReportsItAndTakesMirrors)
{
    Extended x;
    ASSERT_TRUE(x.Bind());
    ASSERT_TRUE(g_dlEngine.pfnInit());
    ASSERT_EQ(x.pfnSetOption(DL_OPTION_PATIENCE_MS, 3000), 0);
    LPCWSTR apsz[2] = { L"http://127.0.0.1:1/f", L"http://127.0.0.1:1/f" };
    DL_TASK_PARAMS p = { sizeof(DL_TASK_PARAMS), m_szPath, apsz, 2, NULL, 1000, kSha };
    LONG lTask = 0;
    ASSERT_EQ(x.pfnCreateEx(&p, &lTask), 0);
    DL_TASK_INFO info = { sizeof(DL_TASK_INFO) };
    DWORD t0 = ::GetTickCount();
    while (::GetTickCount() - t0 < 2500 && (x.pfnQueryEx(lTask, &info) != 0 || info.lStatus != 3))
        ::Sleep(20);
    EXPECT_EQ(info.lStatus, 3);
    EXPECT_EQ(info.lLastError, 21) << "DLE_CONNECT";
    EXPECT_EQ(info.lMirrors, 1) << "the repeated address counts once";
    EXPECT_EQ(x.pfnAddMirror(lTask, L"http://127.0.0.1:1/g"), 0);
    EXPECT_EQ(x.pfnAddMirror(lTask, L"http://127.0.0.1:1/g"), 0) << "known already";
    EXPECT_EQ(x.pfnAddMirror(lTask, L"gopher://127.0.0.1/g"), 6);
    x.pfnQueryEx(lTask, &info);
    EXPECT_EQ(info.lMirrors, 2);
    while (::GetTickCount() - t0 < 10000 && (x.pfnQueryEx(lTask, &info) != 0 || !DL_STATUS_IS_FAILED(info.lStatus)))
        ::Sleep(50);
    EXPECT_EQ(info.lStatus, DL_STATUS_FAILED + 21);
    EXPECT_GE(::GetTickCount() - t0, 2900u) << "failed before the patience was spent";
    EXPECT_EQ(x.pfnAddMirror(lTask, L"http://127.0.0.1:1/h"), 5) << "the task has ended";
    ASSERT_EQ(x.pfnSetOption(DL_OPTION_PATIENCE_MS, 600000), 0);
}

TEST_F(EngineApi, VerifyingAFileThatIsNotThereFailsWithReadError)
{
    Extended x;
    ASSERT_TRUE(x.Bind());
    ASSERT_TRUE(g_dlEngine.pfnInit());
    LONG lTask = 0;
    ASSERT_EQ(x.pfnVerify(m_szPath, 0, kSha, &lTask), 0);
    DL_TASK_INFO info = { sizeof(DL_TASK_INFO) };
    DWORD t0 = ::GetTickCount();
    while (::GetTickCount() - t0 < 5000 && (x.pfnQueryEx(lTask, &info) != 0 || info.lStatus == 6))
        ::Sleep(20);
    EXPECT_EQ(info.lStatus, DL_STATUS_FAILED + 35);
    EXPECT_FALSE(::PathFileExistsW(m_szPath));
}

}  // namespace
