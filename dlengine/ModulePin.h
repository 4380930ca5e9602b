// One more reference to the module that holds the engine's code. A thread of the engine that
// may outlive its caller's wait (a stop bounded in time) takes one when it starts and ends with
// FreeLibraryAndExitThread, so its code is never unloaded under it.
#pragma once
#include <windows.h>

// Null when no reference could be taken.
inline HMODULE PinOwnModule()
{
    HMODULE h = NULL;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, (LPCWSTR)(void*)&PinOwnModule, &h))
        return NULL;
    return h;
}
