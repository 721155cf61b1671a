#include <gtest/gtest.h>

#include "errortrap/convert.h"
#include "errortrap/error.h"

namespace zarn {
namespace {

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const ZarnError& e) {
    return e.number();
  }
  return 0;
}

TEST(FieldToLong, RoundsHalfToEvenAndAcceptsBlanksSignsFractions) {
  struct Row {
    const char* field;
    int32_t value;
  } rows[] = {
      {"2.5", 2},       {"3.5", 4},        {"-2.5", -2},        {"10.5", 10},  {"11.5", 12},
      {" 42 ", 42},     {"+7", 7},         {"-0.4", 0},         {"1e3", 1000}, {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},    {"2147483646.5", 2147483646},
  };
  for (const auto& r : rows) EXPECT_EQ(FieldToLong(QString::fromLatin1(r.field)), r.value) << r.field;
}

TEST(FieldToLong, ErrorsForEmptyNonNumbersAndOverflow) {
  struct Row {
    const char* field;
    int error;
  } rows[] = {
      {"", 13}, {"   ", 13}, {"abc", 13}, {"12a", 13}, {"inf", 13}, {"nan", 13}, {"0x10", 13}, {"1 2", 13},
      {"2147483648", 6}, {"2147483647.5", 6}, {"-2147483649", 6}, {"1e20", 6},
  };
  for (const auto& r : rows)
    EXPECT_EQ(ErrorOf([&] { FieldToLong(QString::fromLatin1(r.field)); }), r.error) << r.field;
}

TEST(FieldToShort, SixteenBitRange) {
  EXPECT_EQ(FieldToShort(u"32767"), 32767);
  EXPECT_EQ(FieldToShort(u"-32768"), -32768);
  EXPECT_EQ(ErrorOf([] { FieldToShort(u"32768"); }), 6);
  EXPECT_EQ(ErrorOf([] { FieldToShort(u"32767.5"); }), 6);
}

TEST(CheckedArithmetic, OverflowOutsideThirtyTwoBits) {
  EXPECT_EQ(AddLong(2147483646, 1), 2147483647);
  EXPECT_EQ(ErrorOf([] { AddLong(2147483647, 1); }), 6);
  EXPECT_EQ(MulLong(214748, 10000), 2147480000);
  EXPECT_EQ(ErrorOf([] { MulLong(214749, 10000); }), 6);
  EXPECT_EQ(ErrorOf([] { ToShort(40000); }), 6);
  EXPECT_EQ(RoundToShort(102.5), 102);
  EXPECT_EQ(RoundToShort(103.5), 104);
}

TEST(ReadHex, ReadsDigitsUntilTheFirstOther) {
  struct Row {
    const char16_t* text;
    uint32_t value;
  } rows[] = {
      {u"FF", 255}, {u"ff", 255}, {u"1G", 1}, {u"G1", 0}, {u"", 0}, {u" 4", 4}, {u"4\n", 4}, {u"e2", 226},
  };
  for (const auto& r : rows) EXPECT_EQ(ReadHex(r.text), r.value);
}

}  // namespace
}  // namespace zarn
