#include "SomResourceModule.h"

HINSTANCE SomGetResourceModule() { return ::GetModuleHandleW(NULL); }
