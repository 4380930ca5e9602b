// Shows the disk-space box as the install command does, for tests under real X input.
// The exit code is what DoModal returned (the box always ends with 0). With a file name
// argument it also writes there the ids of the WM_COMMAND messages that reached the box
// (sent or posted), so that a test can tell that its keys arrived and were ignored.
#include <windows.h>
#include <stdio.h>
#include "som/SomSkin.h"
#include "text/DlgMsgBox.h"
#include "MessageRecorder.h"

int wmain(int argc, wchar_t** argv)
{
    SomStartup();
    INT_PTR nRet;
    char szCommands[4096];
    int cchCommands = 0;
    {
        CDlgMsgBox box(L"磁盘空间不足", L"检测到系统安装所需要的空间不足，不能装机。", L"请清除硬盘空间后再尝试操作。",
                       (LPCWSTR)NULL);
        CMessageRecorder recorder(&box.CIndirectDialogImpl<CDlgMsgBox>::m_hWnd, FALSE);
        nRet = box.DoModal(GetActiveWindow(), 0);
        for (WORD wID : recorder.m_commands) {
            if (cchCommands < (int)sizeof(szCommands) - 16)
                cchCommands += wsprintfA(szCommands + cchCommands, "%u ", wID);
        }
    }
    SomShutdown();

    if (argc > 1) {
        FILE* f = _wfopen(argv[1], L"wb");
        if (f != NULL) {
            fwrite(szCommands, 1, cchCommands, f);
            fclose(f);
        }
    }
    return nRet == 0 ? 0 : 10 + (int)(nRet & 0xFF);
}
