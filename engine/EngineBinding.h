// Run-time binding of the download engine library "DLEngine.dll": the nine entry points,
// looked up by name into one program-wide table. The library is found through the library
// search folder that start-up sets, and is never released after a successful binding.
#pragma once
#include <windows.h>
#include "dlengine/DLEngineApi.h"   // PFN_ types and status values

struct DLEngineEntryPoints
{
    PFN_DLInitDownloadEngine pfnInit;
    PFN_DLURLDownloadToFile pfnURLDownloadToFile;
    PFN_DLQueryTaskInfo pfnQueryTaskInfo;
    PFN_DLPauseTask pfnPauseTask;
    PFN_DLContinueTask pfnContinueTask;
    PFN_DLContinueTaskFromWorkFile pfnContinueTaskFromWorkFile;
    PFN_DLStopTask pfnStopTask;
    PFN_DLUninitDownloadEngine pfnUninit;
    PFN_DLGetErrorMsg pfnGetErrorMsg;
};

extern DLEngineEntryPoints g_dlEngine;

// Loads "DLEngine.dll" by bare name and binds the nine exports; null (library released)
// when it cannot be loaded or lacks any export.
HMODULE LoadDLEngine();

// TRUE when the engine vendor's clean-up script exists beside the folder the registry
// value HKCU\Software\Pelagro Network\Pelagro\path names.
BOOL IsDLCleanerPresent();
