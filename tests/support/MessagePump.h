// The tests' message pump: runs this thread's queue (dispatching what it holds) until a
// condition holds or a time has passed, so that windows and timers do their work while a
// test waits for them.
#pragma once
#include <windows.h>
#include <functional>

// Pumps until pred() holds, nMs milliseconds at most; returns pred()'s last value. Unless
// bElementTick, the element manager's 100 ms tick is dropped: it would end hover states
// that the test set up.
bool PumpUntil(const std::function<bool()>& pred, DWORD nMs, BOOL bElementTick = FALSE);

// Pumps everything, the element tick included, for nMs milliseconds.
void PumpMessages(DWORD nMs);
