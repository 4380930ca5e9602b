// The module whose resources hold the skin pictures and the payloads: the program itself.
// The bitmaps and the tooltip registry load their resources from it.
#pragma once
#include <windows.h>

HINSTANCE SomGetResourceModule();
