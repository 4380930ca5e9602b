// DLEngine.dll's entry points called directly: bad arguments give an error code and create
// nothing, the engine's start and shut-down, the error texts, and a stop that ends a task
// promptly while it waits between connection attempts.
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
        m_bBound = LoadDLEngine() != NULL;
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
    EXPECT_EQ(Create(m_szPath, L"http://127.0.0.1:1/f", NULL, &lTask), 3);   // DLE_NOT_INITIALIZED
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
        L"ftp://127.0.0.1/f", L"http://", L"http://127.0.0.1:99999/f", L"http://user:pw@127.0.0.1/f",
        L"http://bad host/f", L"127.0.0.1/f", L"http://[::1/f",
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
    EXPECT_EQ(lStatus, 1) << "still connecting";

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

}  // namespace
