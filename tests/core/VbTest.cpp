#include "common/Vb.h"
#include "common/VbError.h"

#include <gtest/gtest.h>

using namespace tarvello::common;

TEST(Vb, placeholder) { EXPECT_TRUE(vbLike("ABC", "A*")); }
