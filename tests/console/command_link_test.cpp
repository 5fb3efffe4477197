#include <gtest/gtest.h>

TEST(ConsoleLibrary, Links) { SUCCEED(); }
