// Small window helpers shared by the dialogs and the start-up code.
#pragma once
#include <windows.h>

// Centres the window over its owner when the owner is visible and not minimised,
// otherwise in the work area of the monitor the window is on.
BOOL FrameCenterWindow(HWND hWnd);
