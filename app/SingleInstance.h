// One copy at a time: the instance mutex held for the whole run, and the hand-over to a
// copy that already runs, which a second copy finds by its main window's title.
#pragma once
#include <windows.h>

#define KORVANE_INSTANCE_MUTEX L"VAN:{630E07C3-C457-4CCF-BADF-92B31546C8BA:F2E2C7C9-CD51-4A19-943F-145175968B11}:TOIR"
#define KORVANE_MAIN_TITLE     L"Vantoir"

// Creates the instance mutex, owned and never closed. FALSE only when this copy created
// it; TRUE when it already existed or could not be created.
BOOL IsAnotherInstanceRunning();

// Shows the running copy's main window (hidden or not), brings it to the front without
// leaving it topmost and centres it. FALSE when no such window exists yet.
BOOL RaiseRunningInstance();
