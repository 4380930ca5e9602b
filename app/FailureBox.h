// The start-up failure report: one skinned message box with a title, the line saying what
// happened and the line saying what to do, owned by the active window.
#pragma once
#include <windows.h>

void ShowFailureBox(LPCWSTR pszTitle, LPCWSTR pszLine, LPCWSTR pszHint);
