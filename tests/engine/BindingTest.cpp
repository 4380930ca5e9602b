// The installer's engine binding: CDLEngine's resume policy over the work files, the vendor
// clean-up script test, Uninit, and LoadDLEngine against the real library and a library that
// lacks an export. The policy tests put recording stand-ins into the entry-point table.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlwapi.h>
#include "engine/DLEngine.h"
#include "engine/EngineBinding.h"
#include "FakeEngine.h"
#include "StagedLibrary.h"
#include "TestFiles.h"

namespace {

const WCHAR kKey[] = L"Software\\Pelagro Network\\Pelagro";

class BindingPolicy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_fake.lStatus = 11;
        m_fake.ullTotal = 200;
        m_fake.ullReceived = 100;

        WCHAR szTemp[MAX_PATH];
        ::GetTempPathW(MAX_PATH, szTemp);
        wnsprintfW(m_szDir, MAX_PATH, L"%skv-binding-%lu", szTemp, ::GetCurrentProcessId());
        ::CreateDirectoryW(m_szDir, NULL);
        wnsprintfW(m_szPath, MAX_PATH, L"%s\\xp.vex", m_szDir);
        wnsprintfW(m_szWork, MAX_PATH, L"%s.dl", m_szPath);
        wnsprintfW(m_szRecord, MAX_PATH, L"%s.dl.cfg", m_szPath);
    }

    void TearDown() override
    {
        ::DeleteFileW(m_szPath);
        ::DeleteFileW(m_szWork);
        ::DeleteFileW(m_szRecord);
        if (m_bTouchedRegistry) {
            ::RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
            WCHAR szScript[MAX_PATH];
            wnsprintfW(szScript, MAX_PATH, L"%s\\pelagro_delWorkingDirectory.vbs", m_szDir);
            ::DeleteFileW(szScript);
            WCHAR szSub[MAX_PATH];
            wnsprintfW(szSub, MAX_PATH, L"%s\\Pelagro", m_szDir);
            ::RemoveDirectoryW(szSub);
        }
        ::RemoveDirectoryW(m_szDir);
    }

    static void Touch(LPCWSTR pszPath)
    {
        HANDLE h = ::CreateFileW(pszPath, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        ::CloseHandle(h);
    }

    // The vendor's registry value names a folder; the script lies beside that folder.
    void SetCleanerValue(DWORD dwType, BOOL bWithScript)
    {
        m_bTouchedRegistry = TRUE;
        HKEY hKey = NULL;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_WRITE, NULL, &hKey, NULL), ERROR_SUCCESS);
        WCHAR szValue[MAX_PATH];
        wnsprintfW(szValue, MAX_PATH, L"%s\\Pelagro", m_szDir);
        ::CreateDirectoryW(szValue, NULL);
        if (dwType == REG_DWORD) {
            DWORD v = 1;
            ::RegSetValueExW(hKey, L"path", 0, REG_DWORD, (const BYTE*)&v, sizeof(v));
        } else {
            ::RegSetValueExW(hKey, L"path", 0, dwType, (const BYTE*)szValue, (lstrlenW(szValue) + 1) * sizeof(WCHAR));
        }
        ::RegCloseKey(hKey);
        if (bWithScript) {
            WCHAR szScript[MAX_PATH];
            wnsprintfW(szScript, MAX_PATH, L"%s\\pelagro_delWorkingDirectory.vbs", m_szDir);
            Touch(szScript);
        }
    }

    FakeEngine m_fake;  // the engine's entry points while the test runs
    WCHAR m_szDir[MAX_PATH];
    WCHAR m_szPath[MAX_PATH];
    WCHAR m_szWork[MAX_PATH];
    WCHAR m_szRecord[MAX_PATH];
    BOOL m_bTouchedRegistry = FALSE;
};

TEST_F(BindingPolicy, TargetPresentMakesNoEngineCall)
{
    Touch(m_szPath);
    Touch(m_szWork);
    Touch(m_szRecord);
    CDLEngine engine;
    LONG lError = 77;
    EXPECT_EQ(engine.StartTask(m_szPath, L"http://127.0.0.1/x", NULL, &lError), 0);
    EXPECT_EQ(lError, 77) << "the error output must not be written";
    EXPECT_EQ(m_fake.nCreated + m_fake.nResumed, 0);
    EXPECT_TRUE(::PathFileExistsW(m_szWork) && ::PathFileExistsW(m_szRecord));
}

TEST_F(BindingPolicy, BothWorkFilesResume)
{
    Touch(m_szWork);
    Touch(m_szRecord);
    CDLEngine engine;
    LONG lError = 77;
    EXPECT_EQ(engine.StartTask(m_szPath, L"http://127.0.0.1/x", NULL, &lError), 42);
    EXPECT_EQ(lError, 0);
    EXPECT_EQ(m_fake.nResumed, 1);
    EXPECT_STREQ(m_fake.strResumePath.c_str(), m_szWork);
    EXPECT_EQ(m_fake.nCreated, 0);
    EXPECT_TRUE(::PathFileExistsW(m_szWork) && ::PathFileExistsW(m_szRecord));
}

TEST_F(BindingPolicy, RefusedResumeDeletesBothAndStartsFresh)
{
    Touch(m_szWork);
    Touch(m_szRecord);
    m_fake.lResumeError = 10;
    m_fake.lCreateError = 0;
    CDLEngine engine;
    LONG lError = 77;
    EXPECT_EQ(engine.StartTask(m_szPath, L"http://127.0.0.1/x", NULL, &lError), 7);
    EXPECT_EQ(lError, 0);
    EXPECT_EQ(m_fake.nResumed, 1);
    EXPECT_EQ(m_fake.nCreated, 1);
    EXPECT_STREQ(m_fake.strPath.c_str(), m_szPath);
    EXPECT_FALSE(::PathFileExistsW(m_szWork));
    EXPECT_FALSE(::PathFileExistsW(m_szRecord));
}

TEST_F(BindingPolicy, LoneWorkFileIsNeitherResumedNorDeleted)
{
    for (int i = 0; i < 2; ++i) {
        LPCWSTR pszLone = i == 0 ? m_szWork : m_szRecord;
        Touch(pszLone);
        m_fake.nCreated = m_fake.nResumed = 0;
        CDLEngine engine;
        EXPECT_EQ(engine.StartTask(m_szPath, L"http://127.0.0.1/x", NULL, NULL), 7);
        EXPECT_EQ(m_fake.nResumed, 0);
        EXPECT_EQ(m_fake.nCreated, 1);
        EXPECT_TRUE(::PathFileExistsW(pszLone));
        ::DeleteFileW(pszLone);
    }
}

TEST_F(BindingPolicy, CreateFailurePassesTheEngineCode)
{
    m_fake.lNextTaskId = 0;
    m_fake.lCreateError = 6;
    CDLEngine engine;
    LONG lError = 0;
    EXPECT_EQ(engine.StartTask(m_szPath, L"ftp://x/y", NULL, &lError), 0);
    EXPECT_EQ(lError, 6);
}

TEST_F(BindingPolicy, UninitTwiceShutsDownOnce)
{
    CDLEngine engine;
    EXPECT_EQ(m_fake.nInit, 1);
    engine.Uninit();
    engine.Uninit();
    EXPECT_EQ(m_fake.nUninit, 1);

    m_fake.bInitResult = FALSE;
    CDLEngine failed;
    failed.Uninit();
    EXPECT_EQ(m_fake.nUninit, 1) << "an engine that did not start is not shut down";
}

TEST_F(BindingPolicy, QueryPassesOutputsInTheEngineOrder)
{
    CDLEngine engine;
    ULONGLONG ullReceived = 0, ullTotal = 0;
    LONG lStatus = 0;
    EXPECT_EQ(engine.QueryTask(3, &ullReceived, &ullTotal, &lStatus), 0);
    EXPECT_EQ(ullReceived, 100u);
    EXPECT_EQ(ullTotal, 200u);
    EXPECT_EQ(lStatus, 11);
    EXPECT_TRUE(engine.StopTask(3));
    EXPECT_EQ(m_fake.nStops, 1);
}

// The clean-up script tests share HKCU with other tests: CTest runs them alone.
TEST_F(BindingPolicy, CleanerScriptDeletesBothAndStartsFresh)
{
    SetCleanerValue(REG_SZ, TRUE);
    EXPECT_TRUE(IsDLCleanerPresent());
    Touch(m_szWork);
    Touch(m_szRecord);
    CDLEngine engine;
    EXPECT_EQ(engine.StartTask(m_szPath, L"http://127.0.0.1/x", NULL, NULL), 7);
    EXPECT_EQ(m_fake.nResumed, 0);
    EXPECT_EQ(m_fake.nCreated, 1);
    EXPECT_FALSE(::PathFileExistsW(m_szWork));
    EXPECT_FALSE(::PathFileExistsW(m_szRecord));
}

TEST_F(BindingPolicy, CleanerValueOfWrongTypeOrWithoutScriptIsAbsent)
{
    EXPECT_FALSE(IsDLCleanerPresent()) << "no key";
    SetCleanerValue(REG_SZ, FALSE);
    EXPECT_FALSE(IsDLCleanerPresent()) << "value but no script";
    SetCleanerValue(REG_DWORD, TRUE);
    EXPECT_FALSE(IsDLCleanerPresent()) << "a number is no path";
    SetCleanerValue(REG_EXPAND_SZ, TRUE);
    EXPECT_TRUE(IsDLCleanerPresent());
}

// ---- LoadDLEngine ----

class BindingLoad : public ::testing::Test
{
protected:
    void SetUp() override { ZeroMemory(&g_dlEngine, sizeof(g_dlEngine)); }
    CStagedLibrary m_lib;
};

TEST_F(BindingLoad, RealLibraryBindsAllNine)
{
    ASSERT_TRUE(m_lib.Stage(L"engine_dll"));
    std::wstring zlib = ExpectedImportPath(m_lib.Dir(), L"zlib1.dll");
    HMODULE h = LoadDLEngine(m_lib.Dir());
    ASSERT_NE(h, (HMODULE)NULL) << "DLEngine.dll did not load (its imports must resolve)";
    FARPROC* slots = (FARPROC*)&g_dlEngine;
    for (size_t i = 0; i < sizeof(g_dlEngine) / sizeof(FARPROC); ++i)
        EXPECT_NE(slots[i], (FARPROC)NULL) << "entry " << i;
    WCHAR szLoaded[MAX_PATH];
    ::GetModuleFileNameW(h, szLoaded, MAX_PATH);
    EXPECT_TRUE(StrStrIW(szLoaded, m_lib.Dir()) != NULL) << "loaded from " << szLoaded;
    // No library search folder is set: the engine's zlib comes from the engine's own folder.
    EXPECT_EQ(::lstrcmpiW(LoadedModulePath(L"zlib1.dll").c_str(), zlib.c_str()), 0)
        << "zlib1.dll loaded from " << std::string(zlib.begin(), zlib.end());
}

TEST_F(BindingLoad, MissingExportReleasesTheLibrary)
{
    ASSERT_TRUE(m_lib.Stage(L"engine_stub"));
    EXPECT_EQ(LoadDLEngine(m_lib.Dir()), (HMODULE)NULL);
    EXPECT_EQ(::GetModuleHandleW(L"DLEngine.dll"), (HMODULE)NULL) << "the library was not released";
    FARPROC* slots = (FARPROC*)&g_dlEngine;
    for (size_t i = 0; i < sizeof(g_dlEngine) / sizeof(FARPROC); ++i)
        EXPECT_EQ(slots[i], (FARPROC)NULL) << "entry " << i << " points into a released library";
}

// The engine is taken from the named folder only: not from the library search folder or
// the current folder, and a relative folder is refused.
TEST_F(BindingLoad, OnlyTheNamedFolderIsLookedIn)
{
    ASSERT_TRUE(m_lib.Stage(L"engine_dll"));
    WCHAR szEmpty[MAX_PATH];
    wnsprintfW(szEmpty, MAX_PATH, L"%s\\empty", m_lib.Dir());
    ASSERT_TRUE(::CreateDirectoryW(szEmpty, NULL));
    WCHAR szOldCwd[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, szOldCwd);
    ::SetCurrentDirectoryW(m_lib.Dir());
    ::SetDllDirectoryW(m_lib.Dir());
    EXPECT_EQ(LoadDLEngine(szEmpty), (HMODULE)NULL) << "a copy elsewhere was loaded";
    EXPECT_EQ(LoadDLEngine(L""), (HMODULE)NULL);
    EXPECT_EQ(LoadDLEngine(L"."), (HMODULE)NULL);
    ::SetDllDirectoryW(NULL);
    ::SetCurrentDirectoryW(szOldCwd);
    ::RemoveDirectoryW(szEmpty);
}

}  // namespace
