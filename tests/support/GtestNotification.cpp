// GoogleTest's Notification on a manual-reset event (gtest-win32/.../custom/gtest-port.h).
#include <windows.h>
#include "gtest/internal/custom/gtest-port.h"

namespace testing {
namespace internal {

Notification::Notification() : m_hEvent(CreateEventW(NULL, TRUE, FALSE, NULL)) {}

Notification::~Notification()
{
    if (m_hEvent)
        CloseHandle(m_hEvent);
}

void Notification::Notify() { SetEvent(m_hEvent); }

void Notification::WaitForNotification() { WaitForSingleObject(m_hEvent, INFINITE); }

}  // namespace internal
}  // namespace testing
