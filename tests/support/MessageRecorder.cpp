#include "MessageRecorder.h"

CMessageRecorder* CMessageRecorder::s_pThis = NULL;

CMessageRecorder::CMessageRecorder(const HWND* phTarget, BOOL bSwallowDrags)
    : m_phTarget(phTarget), m_bSwallowDrags(bSwallowDrags)
{
    s_pThis = this;
    m_hSent = ::SetWindowsHookExW(WH_CALLWNDPROC, SentProc, NULL, ::GetCurrentThreadId());
    m_hPosted = ::SetWindowsHookExW(WH_GETMESSAGE, PostedProc, NULL, ::GetCurrentThreadId());
}

CMessageRecorder::~CMessageRecorder()
{
    ::UnhookWindowsHookEx(m_hSent);
    ::UnhookWindowsHookEx(m_hPosted);
    s_pThis = NULL;
}

int CMessageRecorder::Count(WORD wID) const
{
    int n = 0;
    for (WORD w : m_commands)
        n += w == wID;
    return n;
}

LRESULT CALLBACK CMessageRecorder::SentProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    const CWPSTRUCT* p = (const CWPSTRUCT*)lParam;
    if (nCode >= 0 && s_pThis != NULL && s_pThis->IsTarget(p->hwnd) && p->message == WM_COMMAND)
        s_pThis->m_commands.push_back(LOWORD(p->wParam));
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}

LRESULT CALLBACK CMessageRecorder::PostedProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    MSG* p = (MSG*)lParam;
    if (nCode >= 0 && wParam == PM_REMOVE && s_pThis != NULL && s_pThis->IsTarget(p->hwnd)) {
        if (p->message == WM_COMMAND)
            s_pThis->m_commands.push_back(LOWORD(p->wParam));
        if (p->message == WM_NCLBUTTONDOWN) {
            s_pThis->m_drags.push_back(std::make_pair(p->wParam, p->lParam));
            if (s_pThis->m_bSwallowDrags)
                p->message = WM_NULL;
        }
    }
    return ::CallNextHookEx(NULL, nCode, wParam, lParam);
}
