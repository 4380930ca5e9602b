// Shows the disk-space box as the install command does, for tests under real X input.
// The exit code is what DoModal returned (the box always ends with 0).
#include <windows.h>
#include "som/SomSkin.h"
#include "text/DlgMsgBox.h"

int wmain()
{
    SomStartup();
    INT_PTR nRet;
    {
        CDlgMsgBox box(L"磁盘空间不足", L"检测到系统安装所需要的空间不足，不能装机。",
                       L"请清除硬盘空间后再尝试操作。", (LPCWSTR)NULL);
        nRet = box.DoModal(GetActiveWindow(), 0);
    }
    SomShutdown();
    return nRet == 0 ? 0 : 10 + (int)(nRet & 0xFF);
}
