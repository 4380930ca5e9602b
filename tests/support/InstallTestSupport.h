// Test support for the installation workflow: a fixed clock and free-space answers, the
// registry's InstallDate saved and put back, and a way to run CMainDlg modally with a test
// body that runs inside its message loop. The engine stand-in is FakeEngine.h.
#pragma once
#include <windows.h>
#include <functional>
#include <map>
#include <string>
#include "install/MainDlg.h"
#include "FakeEngine.h"

// Free bytes per drive root ("D:"); drives not listed have none.
struct FakeDisks
{
    explicit FakeDisks(const std::map<std::wstring, ULONGLONG>& free);
    ~FakeDisks();
    static std::map<std::wstring, ULONGLONG> s_free;
    static std::vector<std::wstring> s_asked;  // roots in the order they were queried
};

// The download poll's clock reads s_dwNow while one exists.
struct FakeClock
{
    explicit FakeClock(DWORD dwStart);
    ~FakeClock();
    static DWORD s_dwNow;
};

// Sets (or, with bPresent FALSE, deletes) HKLM\...\CurrentVersion\InstallDate and puts the
// original back afterwards.
class InstallDateGuard
{
public:
    InstallDateGuard();
    ~InstallDateGuard();
    void Set(DWORD dwValue);
    void SetString(LPCWSTR pszValue);
    void Remove();

private:
    BOOL m_bHad;
    DWORD m_dwType;
    BYTE m_data[64];
    DWORD m_cb;
};

// Runs dlg modally (no owner). body runs once, inside the dialog's message loop, when the
// window is up; when it returns TRUE the dialog is ended with kTestEndCode.
static const INT_PTR kTestEndCode = 77;
INT_PTR RunDialog(CMainDlg& dlg, const std::function<BOOL(CMainDlg&)>& body);

// Calls fn from the thread's message loop after nDelayMs (once); for closing nested modal
// boxes while the dialog's own handler is blocked in them.
void CallLater(UINT nDelayMs, const std::function<void()>& fn);

// Other top-level windows of this thread that are visible (a message box, a menu).
std::vector<HWND> OtherThreadWindows(HWND hExclude);
// Closes every box of this thread a moment after the current call blocks in one, counting
// them in *pnBoxes.
void CloseBoxesLater(HWND hMain, int* pnBoxes);

// The download timer's tick, as the dialog's own timer sends it.
void PollDownload(CMainDlg& d);
// Runs the install command and takes the running download timer away (it would poll in
// real time); TRUE when the timer had been started.
BOOL InstallAndStopTimer(CMainDlg& d);

std::wstring TextOf(const CSomTextWnd& wnd);
