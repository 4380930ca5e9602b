// FakeEngine: a scripted stand-in for the download engine library, put into the engine's
// entry-point table (g_dlEngine) for as long as the object lives; the table it replaced
// goes back afterwards. It answers with the values set in its fields and counts the calls.
// One at a time.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct FakeEngine
{
    FakeEngine();
    ~FakeEngine();

    BOOL bInitResult = TRUE;  // what DLInitDownloadEngine returns
    LONG lNextTaskId = 7;     // the task id a new download gets (also on an error)
    LONG lCreateError = 0;    // what DLURLDownloadToFile returns
    LONG lResumeTask = 42;    // the task id a resumed download gets (when no error)
    LONG lResumeError = 0;    // what DLContinueTaskFromWorkFile returns
    LONG lStatus = 0;         // what DLQueryTaskInfo reports
    ULONGLONG ullTotal = 0;
    ULONGLONG ullReceived = 0;
    ULONGLONG ullVerified = 0;  // what DLQueryTaskInfoEx reports beside the three above
    LONG lQueryError = 0;       // what DLQueryTaskInfoEx returns
    LONG lVerifyTask = 9;       // the task id DLVerifyFile gives (when no error)
    LONG lVerifyError = 0;      // what DLVerifyFile returns

    int nInit = 0;
    int nUninit = 0;
    int nCreated = 0;
    int nResumed = 0;
    int nQueries = 0;
    int nStops = 0;
    LONG lStoppedTask = 0;
    std::wstring strPath;  // of the last new download
    std::wstring strUrl;
    std::wstring strResumePath;  // the work file of the last resume
    // The extended calls: the addresses, size and hash the last new or resumed task got.
    std::vector<std::wstring> urls;
    ULONGLONG ullExpectedSize = 0;
    std::wstring strSha256;  // empty for none
    int nVerifies = 0;
    std::wstring strVerifyPath;

    static FakeEngine* s_pCurrent;  // not owned
};
