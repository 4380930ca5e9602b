// Shows the disk-space box as the install command does, for tests under real X input.
// The exit code is what DoModal returned (the box always ends with 0). With a file name
// argument it also writes there the ids of the WM_COMMAND messages that reached the box
// (sent or posted), so that a test can tell that its keys arrived and were ignored.
#include <windows.h>
#include <stdio.h>
#include "som/SomSkin.h"
#include "text/DlgMsgBox.h"

namespace {

CDlgMsgBox* g_pBox = NULL;  // not owned
char g_szCommands[4096];
int g_cchCommands = 0;

void Record(HWND hWnd, UINT uMsg, WPARAM wParam)
{
    if (uMsg != WM_COMMAND || g_pBox == NULL || hWnd != g_pBox->CIndirectDialogImpl<CDlgMsgBox>::m_hWnd)
        return;
    if (g_cchCommands < (int)sizeof(g_szCommands) - 16)
        g_cchCommands += wsprintfA(g_szCommands + g_cchCommands, "%u ", LOWORD(wParam));
}

LRESULT CALLBACK SentProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    CWPSTRUCT* p = (CWPSTRUCT*)lParam;
    if (nCode >= 0)
        Record(p->hwnd, p->message, p->wParam);
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

LRESULT CALLBACK PostedProc(int nCode, WPARAM wParam, LPARAM lParam)
{
    MSG* p = (MSG*)lParam;
    if (nCode >= 0 && wParam == PM_REMOVE)
        Record(p->hwnd, p->message, p->wParam);
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    SomStartup();
    HHOOK hSent = SetWindowsHookExW(WH_CALLWNDPROC, SentProc, NULL, GetCurrentThreadId());
    HHOOK hPosted = SetWindowsHookExW(WH_GETMESSAGE, PostedProc, NULL, GetCurrentThreadId());
    INT_PTR nRet;
    {
        CDlgMsgBox box(L"磁盘空间不足", L"检测到系统安装所需要的空间不足，不能装机。",
                       L"请清除硬盘空间后再尝试操作。", (LPCWSTR)NULL);
        g_pBox = &box;
        nRet = box.DoModal(GetActiveWindow(), 0);
        g_pBox = NULL;
    }
    UnhookWindowsHookEx(hSent);
    UnhookWindowsHookEx(hPosted);
    SomShutdown();

    if (argc > 1) {
        FILE* f = _wfopen(argv[1], L"wb");
        if (f != NULL) {
            fwrite(g_szCommands, 1, g_cchCommands, f);
            fclose(f);
        }
    }
    return nRet == 0 ? 0 : 10 + (int)(nRet & 0xFF);
}
