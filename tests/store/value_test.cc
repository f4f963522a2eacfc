#include "store/value.h"

#include <gtest/gtest.h>

namespace zelka {
namespace {

TEST(ValueTextTest, PlainTextOfEachKind) {
  EXPECT_EQ(ValueText(Value{}), "");
  EXPECT_EQ(ValueText(int64_t{-1234567}), "-1234567");  // no grouping
  EXPECT_EQ(ValueText(int64_t{9007199254740993}), "9007199254740993");
  EXPECT_EQ(ValueText(0.1), "0.1");  // shortest exact form, not 0.10000000000000001
  EXPECT_EQ(ValueText(2.0), "2");
  EXPECT_EQ(ValueText(std::string("平成")), "平成");
}

}  // namespace
}  // namespace zelka
