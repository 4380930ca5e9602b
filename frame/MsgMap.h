// Message maps: ordered entries keyed by message or command id, as the dialogs declare them.
// A handler sets bHandled to FALSE to let later entries (and default processing) see the
// message. CHAIN_MSG_MAP offers the message to a base class's own map at that point.
#pragma once
#include <windows.h>

#define BEGIN_MSG_MAP(theClass)                                                                                        \
public:                                                                                                                \
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,                    \
                              DWORD dwMsgMapID = 0)                                                                    \
    {                                                                                                                  \
        BOOL bHandled = TRUE;                                                                                          \
        (void)hWnd;                                                                                                    \
        (void)bHandled;                                                                                                \
        if (dwMsgMapID != 0)                                                                                           \
            return FALSE;

#define MESSAGE_HANDLER(msg, func)                                                                                     \
    if (uMsg == (UINT)(msg)) {                                                                                         \
        bHandled = TRUE;                                                                                               \
        lResult = func(uMsg, wParam, lParam, bHandled);                                                                \
        if (bHandled)                                                                                                  \
            return TRUE;                                                                                               \
    }

#define MESSAGE_HANDLER_ANY(func)                                                                                      \
    {                                                                                                                  \
        bHandled = TRUE;                                                                                               \
        lResult = func(uMsg, wParam, lParam, bHandled);                                                                \
        if (bHandled)                                                                                                  \
            return TRUE;                                                                                               \
    }

// Commands match on the low word of wParam only; the notification code and the
// sending element (lParam) are handed to the handler but do not select it.
#define COMMAND_ID_HANDLER(id, func)                                                                                   \
    if (uMsg == WM_COMMAND && LOWORD(wParam) == (WORD)(id)) {                                                          \
        bHandled = TRUE;                                                                                               \
        lResult = func(HIWORD(wParam), LOWORD(wParam), (HWND)lParam, bHandled);                                        \
        if (bHandled)                                                                                                  \
            return TRUE;                                                                                               \
    }

#define CHAIN_MSG_MAP(theChainClass)                                                                                   \
    if (theChainClass::ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult))                                      \
        return TRUE;

#define END_MSG_MAP()                                                                                                  \
    return FALSE;                                                                                                      \
    }
