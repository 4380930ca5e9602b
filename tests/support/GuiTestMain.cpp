// main() of the unit-test programs: the toolkit's shared DCs and fonts exist for the
// whole run, as they do in the installer.
#include <gtest/gtest.h>
#include "som/SomSkin.h"

int wmain(int argc, wchar_t** argv)
{
    testing::InitGoogleTest(&argc, argv);
    SomStartup();
    int rc = RUN_ALL_TESTS();
    SomShutdown();
    return rc;
}
