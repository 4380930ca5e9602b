// main() of the unit-test programs: the toolkit's shared DCs and fonts exist for the
// whole run, as they do in the installer.
#include <stdio.h>
#include <gtest/gtest.h>
#include "som/SomSkin.h"

int wmain(int argc, wchar_t** argv)
{
    // Unbuffered, so that a run that dies early still shows how far it got.
    setvbuf(stdout, NULL, _IONBF, 0);
    testing::InitGoogleTest(&argc, argv);
    SomStartup();
    int rc = RUN_ALL_TESTS();
    SomShutdown();
    return rc;
}
