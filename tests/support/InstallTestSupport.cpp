#include "InstallTestSupport.h"
#include <gtest/gtest.h>
#include "install/DownloadPoll.h"
#include "text/DlgMsgBox.h"

std::map<std::wstring, ULONGLONG> FakeDisks::s_free;
std::vector<std::wstring> FakeDisks::s_asked;

static BOOL WINAPI FakeFreeSpace(LPCWSTR pszRoot, PULARGE_INTEGER pAvail, PULARGE_INTEGER pTotal,
                                 PULARGE_INTEGER pTotalFree)
{
    FakeDisks::s_asked.push_back(pszRoot);
    auto it = FakeDisks::s_free.find(pszRoot);
    if (it == FakeDisks::s_free.end())
        return FALSE;
    // A quota answer different from the volume's free bytes shows which one is used.
    if (pAvail)
        pAvail->QuadPart = it->second / 2;
    if (pTotal)
        pTotal->QuadPart = it->second * 2;
    if (pTotalFree)
        pTotalFree->QuadPart = it->second;
    return TRUE;
}

FakeDisks::FakeDisks(const std::map<std::wstring, ULONGLONG>& free)
{
    s_free = free;
    s_asked.clear();
    SetDiskFreeSpaceQuery(FakeFreeSpace);
}

FakeDisks::~FakeDisks()
{
    SetDiskFreeSpaceQuery(NULL);
    s_free.clear();
}

DWORD FakeClock::s_dwNow = 0;
static DWORD WINAPI FakeNow() { return FakeClock::s_dwNow; }

FakeClock::FakeClock(DWORD dwStart)
{
    s_dwNow = dwStart;
    SetDownloadClock(FakeNow);
}

FakeClock::~FakeClock() { SetDownloadClock(NULL); }

static const LPCWSTR kCurrentVersionKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

InstallDateGuard::InstallDateGuard() : m_bHad(FALSE), m_dwType(0), m_cb(sizeof(m_data))
{
    HKEY hKey;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_QUERY_VALUE, &hKey) == ERROR_SUCCESS) {
        m_bHad = ::RegQueryValueExW(hKey, L"InstallDate", NULL, &m_dwType, m_data, &m_cb) == ERROR_SUCCESS;
        ::RegCloseKey(hKey);
    }
}

InstallDateGuard::~InstallDateGuard()
{
    HKEY hKey;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_SET_VALUE, &hKey) != ERROR_SUCCESS)
        return;
    if (m_bHad)
        ::RegSetValueExW(hKey, L"InstallDate", 0, m_dwType, m_data, m_cb);
    else
        ::RegDeleteValueW(hKey, L"InstallDate");
    ::RegCloseKey(hKey);
}

static void WriteInstallDate(DWORD dwType, const void* pData, DWORD cb)
{
    HKEY hKey;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, NULL, 0, KEY_SET_VALUE, NULL, &hKey, NULL) !=
        ERROR_SUCCESS)
        return;
    if (pData != NULL)
        ::RegSetValueExW(hKey, L"InstallDate", 0, dwType, (const BYTE*)pData, cb);
    else
        ::RegDeleteValueW(hKey, L"InstallDate");
    ::RegCloseKey(hKey);
}

void InstallDateGuard::Set(DWORD dwValue) { WriteInstallDate(REG_DWORD, &dwValue, sizeof(dwValue)); }
void InstallDateGuard::SetString(LPCWSTR psz)
{
    WriteInstallDate(REG_SZ, psz, (DWORD)((lstrlenW(psz) + 1) * sizeof(WCHAR)));
}
void InstallDateGuard::Remove() { WriteInstallDate(REG_NONE, NULL, 0); }

static std::map<UINT_PTR, std::function<void()>> s_later;

static void CALLBACK LaterProc(HWND, UINT, UINT_PTR id, DWORD)
{
    ::KillTimer(NULL, id);
    auto it = s_later.find(id);
    if (it == s_later.end())
        return;
    std::function<void()> fn = it->second;
    s_later.erase(it);
    fn();
}

void CallLater(UINT nDelayMs, const std::function<void()>& fn)
{
    UINT_PTR id = ::SetTimer(NULL, 0, nDelayMs, LaterProc);
    s_later[id] = fn;
}

// The dialog manager shows a modal dialog when its queue first runs empty; the body waits
// for that, 5 s at most.
static void RunWhenShown(CMainDlg* pDlg, std::function<BOOL(CMainDlg&)> body, int nTries)
{
    if (!::IsWindowVisible(pDlg->m_hWnd) && nTries > 0) {
        CallLater(20, [pDlg, body, nTries]() { RunWhenShown(pDlg, body, nTries - 1); });
        return;
    }
    EXPECT_TRUE(::IsWindowVisible(pDlg->m_hWnd)) << "the dialog is shown";
    if (body(*pDlg))
        pDlg->EndDialog((int)kTestEndCode);
}

INT_PTR RunDialog(CMainDlg& dlg, const std::function<BOOL(CMainDlg&)>& body)
{
    CMainDlg* pDlg = &dlg;
    CallLater(20, [pDlg, body]() { RunWhenShown(pDlg, body, 250); });
    return dlg.DoModal(NULL);
}

struct ThreadWindowSearch
{
    HWND hExclude;
    std::vector<HWND> found;
};

static BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    ThreadWindowSearch* p = (ThreadWindowSearch*)lParam;
    if (hWnd != p->hExclude && ::IsWindowVisible(hWnd))
        p->found.push_back(hWnd);
    return TRUE;
}

std::vector<HWND> OtherThreadWindows(HWND hExclude)
{
    ThreadWindowSearch search = { hExclude, {} };
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectWindow, (LPARAM)&search);
    return search.found;
}

std::wstring TextOf(const CSomTextWnd& wnd) { return wnd.m_strText; }

void CloseBoxesLater(HWND hMain, int* pnBoxes)
{
    CallLater(300, [hMain, pnBoxes]() {
        for (HWND h : OtherThreadWindows(hMain)) {
            ++*pnBoxes;
            ::PostMessageW(h, WM_COMMAND, IDC_MSGBOX_CLOSE, 0);
        }
    });
}

void PollDownload(CMainDlg& d) { ::SendMessageW(d.m_hWnd, WM_TIMER, TIMER_DOWNLOAD, 0); }

BOOL InstallAndStopTimer(CMainDlg& d)
{
    ::SendMessageW(d.m_hWnd, WM_COMMAND, IDC_BTN_INSTALL, (LPARAM)&d.m_btnInstall);
    return ::KillTimer(d.m_hWnd, TIMER_DOWNLOAD);
}
