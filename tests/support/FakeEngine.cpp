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

LONG WINAPI FakeStop(LONG lTaskId)
{
    FakeEngine::s_pCurrent->nStops++;
    FakeEngine::s_pCurrent->lStoppedTask = lTaskId;
    return 0;
}

} // namespace

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
    s_pCurrent = this;
}

FakeEngine::~FakeEngine()
{
    g_dlEngine = s_saved;
    s_pCurrent = NULL;
}
