#include "FakeEngine.h"
#include "engine/EngineBinding.h"

FakeEngine* FakeEngine::s_pCurrent = NULL;

namespace {

DLEngineEntryPoints s_saved;

BOOL WINAPI FakeInit()
{
    FakeEngine::s_pCurrent->nInit++;
    return FakeEngine::s_pCurrent->bInitResult;
}

LONG WINAPI FakeUninit()
{
    FakeEngine::s_pCurrent->nUninit++;
    return 0;
}

LONG WINAPI FakeCreate(LPCWSTR pszPath, LPCWSTR pszUrl, LPCWSTR, LONG* plTaskId)
{
    FakeEngine* p = FakeEngine::s_pCurrent;
    p->nCreated++;
    p->strPath = pszPath ? pszPath : L"";
    p->strUrl = pszUrl ? pszUrl : L"";
    *plTaskId = p->lNextTaskId;
    return p->lCreateError;
}

LONG WINAPI FakeResume(LPCWSTR pszWorkFile, LONG* plTaskId)
{
    FakeEngine* p = FakeEngine::s_pCurrent;
    p->nResumed++;
    p->strResumePath = pszWorkFile ? pszWorkFile : L"";
    *plTaskId = p->lResumeError == 0 ? p->lResumeTask : 0;
    return p->lResumeError;
}

LONG WINAPI FakeQuery(LONG, LONG* plStatus, ULONGLONG* pullTotal, ULONGLONG* pullReceived)
{
    FakeEngine* p = FakeEngine::s_pCurrent;
    p->nQueries++;
    *plStatus = p->lStatus;
    *pullTotal = p->ullTotal;
    *pullReceived = p->ullReceived;
    return 0;
}

void TakeParams(FakeEngine* p, const DL_TASK_PARAMS* pParams)
{
    p->urls.clear();
    if (pParams == NULL)
        return;
    for (LONG i = 0; i < pParams->cUrls; ++i)
        p->urls.push_back(pParams->ppszUrls[i]);
    p->ullExpectedSize = pParams->ullExpectedSize;
    p->strSha256 = pParams->pszSha256 ? pParams->pszSha256 : L"";
}

LONG WINAPI FakeCreateEx(const DL_TASK_PARAMS* pParams, LONG* plTaskId)
{
    FakeEngine* p = FakeEngine::s_pCurrent;
    p->nCreated++;
    TakeParams(p, pParams);
    p->strPath = pParams->pszPath ? pParams->pszPath : L"";
    p->strUrl = p->urls.empty() ? L"" : p->urls[0];
    *plTaskId = p->lNextTaskId;
    return p->lCreateError;
}

LONG WINAPI FakeResumeEx(LPCWSTR pszWorkFile, const DL_TASK_PARAMS* pParams, LONG* plTaskId)
{
    FakeEngine* p = FakeEngine::s_pCurrent;
    TakeParams(p, pParams);
    return FakeResume(pszWorkFile, plTaskId);
}

LONG WINAPI FakeQueryEx(LONG, DL_TASK_INFO* pInfo)
{
    FakeEngine* p = FakeEngine::s_pCurrent;
    p->nQueries++;
    pInfo->lStatus = p->lStatus;
    pInfo->ullTotal = p->ullTotal;
    pInfo->ullReceived = p->ullReceived;
    pInfo->ullVerified = p->ullVerified;
    return p->lQueryError;
}

LONG WINAPI FakeVerify(LPCWSTR pszPath, ULONGLONG ullSize, LPCWSTR pszSha256, LONG* plTaskId)
{
    FakeEngine* p = FakeEngine::s_pCurrent;
    p->nVerifies++;
    p->strVerifyPath = pszPath ? pszPath : L"";
    p->ullExpectedSize = ullSize;
    p->strSha256 = pszSha256 ? pszSha256 : L"";
    *plTaskId = p->lVerifyError == 0 ? p->lVerifyTask : 0;
    return p->lVerifyError;
}

LONG WINAPI FakeStop(LONG lTaskId)
{
    FakeEngine::s_pCurrent->nStops++;
    FakeEngine::s_pCurrent->lStoppedTask = lTaskId;
    return 0;
}

}  // namespace

FakeEngine::FakeEngine()
{
    s_saved = g_dlEngine;
    ZeroMemory(&g_dlEngine, sizeof(g_dlEngine));
    g_dlEngine.pfnInit = FakeInit;
    g_dlEngine.pfnUninit = FakeUninit;
    g_dlEngine.pfnURLDownloadToFile = FakeCreate;
    g_dlEngine.pfnContinueTaskFromWorkFile = FakeResume;
    g_dlEngine.pfnQueryTaskInfo = FakeQuery;
    g_dlEngine.pfnStopTask = FakeStop;
    g_dlEngine.pfnCreateTaskEx = FakeCreateEx;
    g_dlEngine.pfnContinueTaskFromWorkFileEx = FakeResumeEx;
    g_dlEngine.pfnQueryTaskInfoEx = FakeQueryEx;
    g_dlEngine.pfnVerifyFile = FakeVerify;
    s_pCurrent = this;
}

FakeEngine::~FakeEngine()
{
    g_dlEngine = s_saved;
    s_pCurrent = NULL;
}
