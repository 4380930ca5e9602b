// wmain for the console GoogleTest programs (no window toolkit needed): the engine tests.
#include <stdio.h>
#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv)
{
    // Unbuffered, so that a run that dies early still shows how far it got.
    setvbuf(stdout, NULL, _IONBF, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
