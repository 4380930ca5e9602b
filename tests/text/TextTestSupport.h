// Test helpers of the text layer: a real host window carrying a CSomWndManager that
// records what reaches the host, a 32-bit canvas to paint elements into, and pixel and
// file helpers.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "som/SomWndManager.h"
#include "MessagePump.h"

struct HostCommand
{
    WORD wID;
    WORD wCode;
    LPARAM lParam;
};

// A hidden popup window whose every message goes to its manager first. Messages the
// manager passes on are recorded (commands, button presses).
class CTestHost : public CSomWndManager
{
public:
    HWND m_hHost;                         // owned
    std::vector<HostCommand> m_commands;
    int m_nPassedDown;                    // WM_LBUTTONDOWN that reached the host itself
    int m_nInvalidates;                   // InvalidateWnd calls, all elements
    std::vector<int> m_parts;             // nPart of each InvalidateWnd
    std::vector<RECT> m_partRects;        // prcPart of each (empty for null)
    int m_nSetSizes;

    CTestHost();
    ~CTestHost() override;

    BOOL Open(int cx, int cy);
    void ResetCounts();

    void InvalidateWnd(CSomWnd* pWnd, const RECT* prcPart, BOOL bErase, int nPart) override;
    void SetWndSize(CSomWnd* pWnd, int cx, int cy) override;
    void DrawBackground(HDC hdc, const RECT* prc) override;

    LRESULT Move(int x, int y);
    LRESULT Down(int x, int y);
    LRESULT Up(int x, int y);

private:
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
};

// A top-down 32-bit DIB filled with white, selected into its own memory DC.
class CTestCanvas
{
public:
    HDC m_hdc;          // owned
    HBITMAP m_hbm;      // owned
    DWORD* m_pBits;     // not owned (the DIB's memory)
    int m_cx;
    int m_cy;

    CTestCanvas(int cx, int cy);
    ~CTestCanvas();

    void Clear();
    COLORREF Pixel(int x, int y) const;  // as COLORREF (low byte red)
    // Number of non-white pixels in the rectangle (canvas coordinates, right/bottom exclusive).
    int InkIn(int left, int top, int right, int bottom) const;
    std::vector<DWORD> Block(int left, int top, int right, int bottom) const;
};

// Text width and height of s in hFont, measured in a fresh screen-compatible DC.
SIZE MeasureText(HFONT hFont, const std::wstring& s);

// Folder of this test program, with a trailing backslash.
std::wstring TestExeDir();
// The process's temporary folder, with a trailing backslash.
std::wstring TempDir();
// Reads a UTF-8 file into UTF-16; empty when missing.
std::wstring ReadUtf8File(const std::wstring& path);
