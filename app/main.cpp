// Entry point of Korvane.exe (start-up sequence is built on top of this).
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    return 0;
}
