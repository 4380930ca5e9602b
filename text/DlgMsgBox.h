// CDlgMsgBox: the skinned modal message box (title, lines, close button). It is its own
// element manager; its surface is painted from two bands of the main skin picture. Only
// the close button ends it: Enter, Esc and Alt+F4 leave it open.
#pragma once
#include <windows.h>
#include "frame/IndirectDialog.h"
#include "frame/MsgMap.h"
#include "som/SomWndManager.h"
#include "som/SomButton4.h"
#include "SomTextWnd.h"

#define IDC_MSGBOX_CLOSE 257

class CDlgMsgBox : public CIndirectDialogImpl<CDlgMsgBox>, public CSomWndManager
{
public:
    CSomButton4 m_btnClose;
    CSomTextWnd m_wndTitle;
    LPCWSTR m_pszTitle;  // not owned; may be null
    int m_nLines;
    LPCWSTR* m_ppszLines;      // owned array; the strings are not owned
    CSomTextWnd* m_pLineWnds;  // owned array of m_nLines elements

    // The line pointers end with a null pointer.
    CDlgMsgBox(LPCWSTR pszTitle, ...);
    ~CDlgMsgBox() override;

    void InitTemplate();
    void DrawBackground(HDC hdc, const RECT* prc) override;

    BEGIN_MSG_MAP(CDlgMsgBox)
    MESSAGE_HANDLER(WM_TIMER, OnTimer)
    CHAIN_MSG_MAP(CSomWndManager)
    MESSAGE_HANDLER(WM_LBUTTONDOWN, OnLButtonDown)
    COMMAND_ID_HANDLER(IDC_MSGBOX_CLOSE, OnCloseButton)
    MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
    END_MSG_MAP()

private:
    LRESULT OnTimer(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnCloseButton(WORD wNotifyCode, WORD wID, HWND hWndCtl, BOOL& bHandled);
    LRESULT OnInitDialog(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
};
