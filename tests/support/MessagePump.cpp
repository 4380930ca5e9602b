#include "MessagePump.h"
#include "som/SomWndManager.h"

bool PumpUntil(const std::function<bool()>& pred, DWORD nMs, BOOL bElementTick)
{
    const DWORD dwStart = ::GetTickCount();
    while (!pred()) {
        if (::GetTickCount() - dwStart > nMs)
            return false;
        MSG msg;
        while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (!bElementTick && msg.message == WM_TIMER && msg.wParam == SOM_TIMER_ID)
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpMessages(DWORD nMs)
{
    PumpUntil([]() { return false; }, nMs, TRUE);
}
