#include <gtest/gtest.h>
#include "common/result_code.h"
TEST(Smoke, ResultOkIsZero) { EXPECT_EQ(RESULT_OK, 0); }
