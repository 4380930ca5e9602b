// CMessageRecorder: thread hooks that record what reaches one window of this thread, sent
// or posted: the ids of WM_COMMAND, and each posted WM_NCLBUTTONDOWN (the start of a window
// drag). One recorder at a time; the hooks go with the object.
#pragma once
#include <windows.h>
#include <utility>
#include <vector>

class CMessageRecorder
{
public:
    // phTarget: the window's handle variable, read at each message, so it may be set after
    // the recorder (a dialog's m_hWnd); not owned. bSwallowDrags: a recorded drag start is
    // turned into WM_NULL (a test without a real button pressed must not start a drag).
    CMessageRecorder(const HWND* phTarget, BOOL bSwallowDrags);
    ~CMessageRecorder();

    // Times the command id reached the window.
    int Count(WORD wID) const;

    std::vector<WORD> m_commands;
    std::vector<std::pair<WPARAM, LPARAM>> m_drags;  // wParam, lParam of WM_NCLBUTTONDOWN

private:
    BOOL IsTarget(HWND hWnd) const { return hWnd != NULL && hWnd == *m_phTarget; }
    static LRESULT CALLBACK SentProc(int nCode, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PostedProc(int nCode, WPARAM wParam, LPARAM lParam);

    const HWND* m_phTarget;  // not owned
    BOOL m_bSwallowDrags;
    HHOOK m_hSent;                     // owned
    HHOOK m_hPosted;                   // owned
    static CMessageRecorder* s_pThis;  // not owned
};
