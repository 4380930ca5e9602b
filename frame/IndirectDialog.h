// A modal dialog run from an in-memory template (no dialog resource). The derived class T
// supplies its message map (ProcessWindowMessage) and fills m_Template in InitTemplate();
// DoModal runs the system's modal loop and returns the EndDialog code.
#pragma once
#include <windows.h>
#include "MemDlgTemplate.h"

template <class T>
class CIndirectDialogImpl
{
public:
    // The dialog window while it exists; not owned. A derived class that also has an
    // element manager's m_hWnd names this one CIndirectDialogImpl<T>::m_hWnd.
    HWND m_hWnd;
    CMemDlgTemplate m_Template;

    CIndirectDialogImpl() : m_hWnd(NULL), m_lInitParam(0) {}
    virtual ~CIndirectDialogImpl() {}

    INT_PTR DoModal(HWND hWndParent, LPARAM dwInitParam = 0)
    {
        T* pT = static_cast<T*>(this);
        pT->InitTemplate();
        if (!m_Template.IsValid())
            return -1;
        m_lInitParam = dwInitParam;
        s_pCreating = pT;
        INT_PTR nRet = ::DialogBoxIndirectParamW(::GetModuleHandleW(NULL), m_Template.GetTemplatePtr(), hWndParent,
                                                 DialogProc, (LPARAM)pT);
        s_pCreating = NULL;
        return nRet;
    }

    BOOL EndDialog(int nRetCode) { return ::EndDialog(m_hWnd, nRetCode); }

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        T* pT = (T*)::GetWindowLongPtrW(hWnd, DWLP_USER);
        if (pT == NULL) {
            // Messages before WM_INITDIALOG (WM_SETFONT) belong to the dialog being created.
            pT = s_pCreating;
            if (pT == NULL)
                return FALSE;
            ::SetWindowLongPtrW(hWnd, DWLP_USER, (LONG_PTR)pT);
            static_cast<CIndirectDialogImpl*>(pT)->m_hWnd = hWnd;
            s_pCreating = NULL;
        }
        if (uMsg == WM_INITDIALOG)
            lParam = pT->m_lInitParam;

        LRESULT lRes = 0;
        BOOL bRet = pT->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lRes, 0);
        if (uMsg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
            static_cast<CIndirectDialogImpl*>(pT)->m_hWnd = NULL;
        }
        if (!bRet)
            return FALSE;
        switch (uMsg) {
        // These return their result directly instead of through DWLP_MSGRESULT.
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
        case WM_INITDIALOG:
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORMSGBOX:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
            return (INT_PTR)lRes;
        }
        ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lRes);
        return TRUE;
    }

    LPARAM m_lInitParam;
    static T* s_pCreating;  // not owned; set only during DialogBoxIndirectParamW's creation
};

template <class T>
T* CIndirectDialogImpl<T>::s_pCreating = NULL;
