// Resource ids of Korvane.exe, included by the resource scripts and by the code that loads
// the resources: the program icon, the skin pictures ("PNG") and the payload files ("BIN").
#pragma once

#define IDI_KORVANE 203

// Skin pictures: horizontal strips of equal frames.
#define IDB_BTN_MIN     257
#define IDB_BTN_MAX     258
#define IDB_BTN_CLOSE   259
#define IDB_PROGRESS    513
#define IDB_RADIO       514
#define IDB_CHECK       515
#define IDB_MAIN_BK     769
#define IDB_SLOGAN      1025
#define IDB_LOGO_XP     1026
#define IDB_LOGO_WIN7   1027
#define IDB_BTN_INSTALL 1028
#define IDB_STEPS       1029

// Payload files, written out by the payload writer.
#define PAYLOAD_ID_ENGINE  257  // "DLEngine.dll", temporary folder
#define PAYLOAD_ID_ZLIB    258  // "ZLib1.dll", temporary folder
#define PAYLOAD_ID_RUNTIME 259  // "MsVcR71.dll": not carried (see README.md)
#define PAYLOAD_ID_RESTORE 260  // "Braskmir.exe", image folder

#ifndef RC_INVOKED
// How each skin picture is cut: X(id, frames, width of one frame, height), in pixels. The
// skin object takes its frame counts from here; the tests check the pictures against it
// (SomBitmapTest.cpp, tests/skin/check_skin.py, tests/install/install_e2e.py).
#define SKIN_PICTURES(X)                                                                                               \
    X(IDB_BTN_MIN, 4, 34, 17)                                                                                          \
    X(IDB_BTN_MAX, 4, 34, 17)                                                                                          \
    X(IDB_BTN_CLOSE, 4, 40, 17)                                                                                        \
    X(IDB_PROGRESS, 1, 415, 36)                                                                                        \
    X(IDB_RADIO, 2, 16, 18)                                                                                            \
    X(IDB_CHECK, 2, 15, 16)                                                                                            \
    X(IDB_MAIN_BK, 1, 850, 539)                                                                                        \
    X(IDB_SLOGAN, 1, 470, 15)                                                                                          \
    X(IDB_LOGO_XP, 1, 122, 95)                                                                                         \
    X(IDB_LOGO_WIN7, 1, 122, 95)                                                                                       \
    X(IDB_BTN_INSTALL, 4, 184, 77)                                                                                     \
    X(IDB_STEPS, 3, 443, 33)
#endif
