// The element manager: the host side of the windowless toolkit. ISomWndManager is what
// elements see; CSomWndManager implements it and is a base of each host dialog, which hands
// it every window message (ProcessWindowMessage) and replaces only DrawBackground.
#pragma once
#include <windows.h>
#include <vector>
#include "SomWnd.h"
#include "SomToolTipAdpater.h"

#define SOM_TIMER_ID 54321

class ISomWndManager
{
public:
    virtual ~ISomWndManager() {}
    virtual BOOL AddWnd(CSomWnd* pWnd) = 0;
    virtual BOOL RemoveWnd(CSomWnd* pWnd) = 0;
    virtual void SetWndCapture(CSomWnd* pWnd) = 0;
    virtual void ReleaseWndCapture(CSomWnd* pWnd) = 0;
    virtual LRESULT SendHostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;
    virtual LRESULT SendCommand(CSomWnd* pFrom, WORD wCode, WORD wID) = 0;
    virtual BOOL PostHostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;
    virtual void SetWndRect(CSomWnd* pWnd, int x, int y, int cx, int cy) = 0;
    virtual void SetWndSize(CSomWnd* pWnd, int cx, int cy) = 0;
    virtual void SetWndPos(CSomWnd* pWnd, int x, int y) = 0;
    // prcPart is in element coordinates; nPart is the element's sub-part + 1 (0 = all).
    virtual void InvalidateWnd(CSomWnd* pWnd, const RECT* prcPart, BOOL bErase, int nPart) = 0;
    virtual int AddToolTip(CSomWnd* pWnd, int nSubId, const RECT* prcTool) = 0;
    virtual void RemoveToolTips(CSomWnd* pWnd) = 0;
    virtual void LockUpdate() = 0;
    virtual void UnlockUpdate() = 0;
    // prc is in client coordinates; null means the DC's clip box.
    virtual void DrawBackground(HDC hdc, const RECT* prc) = 0;
    virtual void DrawWnds(HDC hdc, const RECT* prc) = 0;
};

class CSomWndManager : public ISomWndManager, public CSomToolTipAdpater
{
public:
    BOOL m_bRedraw;
    BOOL m_bDirectPaint;
    HWND m_hWnd;                    // the host window; not owned
    std::vector<CSomWnd*> m_aWnds;  // stacking order, front first; not owned
    CSomWnd* m_pCapture;            // not owned
    CSomWnd* m_pHover;              // not owned

    CSomWndManager();
    virtual ~CSomWndManager();

    BOOL AddWnd(CSomWnd* pWnd) override;
    BOOL RemoveWnd(CSomWnd* pWnd) override;
    void SetWndCapture(CSomWnd* pWnd) override;
    void ReleaseWndCapture(CSomWnd* pWnd) override;
    LRESULT SendHostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SendCommand(CSomWnd* pFrom, WORD wCode, WORD wID) override;
    BOOL PostHostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void SetWndRect(CSomWnd* pWnd, int x, int y, int cx, int cy) override;
    void SetWndSize(CSomWnd* pWnd, int cx, int cy) override;
    void SetWndPos(CSomWnd* pWnd, int x, int y) override;
    void InvalidateWnd(CSomWnd* pWnd, const RECT* prcPart, BOOL bErase, int nPart) override;
    int AddToolTip(CSomWnd* pWnd, int nSubId, const RECT* prcTool) override;
    void RemoveToolTips(CSomWnd* pWnd) override;
    void LockUpdate() override;
    void UnlockUpdate() override;
    void DrawBackground(HDC hdc, const RECT* prc) override;
    void DrawWnds(HDC hdc, const RECT* prc) override;

    // The manager's message map; hosts chain it. TRUE: handled, result in lResult.
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult,
                              DWORD dwMsgMapID = 0);

    // The element paint step. hdcWnd is the window DC.
    void PaintWnd(HDC hdcWnd, CSomWnd* pWnd, BOOL bPaintWnd, BOOL bBackground, BOOL bExclude, int nPart);
    // First visible, enabled element containing the client point, or null.
    CSomWnd* HitTest(POINT ptClient) const;

protected:
    // Message handlers of ProcessWindowMessage; each returns TRUE when the message is handled.
    BOOL HandleMouseMove(LPARAM lParam, LRESULT& lResult);
    BOOL HandleButton(UINT uMsg, LPARAM lParam, LRESULT& lResult);
    BOOL HandleSetCursor(LRESULT& lResult);
    void HandleTick();
    void FullPaint(HDC hdcGiven);
    void Teardown();
    // Ends the hover record; the element then gets OnMouseLeave.
    void ClearHover();
};
