// Small window helpers shared by the dialogs and the start-up code.
#pragma once
#include <windows.h>

// Centres the window over its owner when the owner is visible and not minimised,
// otherwise in the work area of the monitor the window is on.
BOOL FrameCenterWindow(HWND hWnd);

// Starts moving the window as its caption would, for a press (WM_LBUTTONDOWN's lParam, in
// client coordinates) that nothing in the window took. The system takes the start point
// of the move in screen coordinates.
void FrameDragFromPress(HWND hWnd, LPARAM lParamClient);
