// Tests of zarel check.
#include <gtest/gtest.h>

#include "apps/testing/run_zarel.h"

namespace zarel {
namespace {

TEST(CheckCommandTest, Placeholder) { EXPECT_EQ(testing::Zarel({"check"}).status, 2); }

}  // namespace
}  // namespace zarel
