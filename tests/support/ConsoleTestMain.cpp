// wmain for the console GoogleTest programs (no window toolkit needed): the engine tests.
#include <gtest/gtest.h>

int wmain(int argc, wchar_t** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
