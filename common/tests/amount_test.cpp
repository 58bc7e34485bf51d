#include "common/amount.h"
#include "common/big_amount.h"

#include <gtest/gtest.h>

#include <string>

namespace common {
namespace {

struct AmountCase {
  const char* text;
  uint32_t decimals;
  uint32_t expected;
};

TEST(StrToValueExp, Table) {
  const AmountCase cases[] = {
      {"", 2, 0},
      {"5", 2, 5},  // no separator: already minor units
      {"10000", 2, 10000},
      {"100.00", 2, 10000},
      {"5.5", 2, 550},
      {"5,05", 2, 505},
      {"0.5", 2, 50},
      {"5.", 2, 500},
      {".", 2, 0},
      {"5.123", 2, kBadAmount},
      {"-5", 2, 5},
      {"  --5", 2, 5},
      {"-5.25", 2, 525},
      {"1 2", 2, kBadAmount},
      {"5 ", 2, kBadAmount},
      {"5-", 2, kBadAmount},
      {"12a", 2, kBadAmount},
      {"42949672.95", 2, 4294967295u},
      {"42949672.94", 2, 4294967294u},
      {"42949672.96", 2, kBadAmount},
      {"42949673.00", 2, kBadAmount},
      {"4294967295", 2, 4294967295u},
      {"4294967296", 2, kBadAmount},
      {"99999999999999999999", 2, kBadAmount},
      {"1.5", 3, 1500},
      {"1", 3, 1},
      {"4294967.295", 3, 4294967295u},
      {"4294967.296", 3, kBadAmount},
      {"5.5", 0, kBadAmount},  // no decimals: no separator either
      {"4294967295", 0, 4294967295u},
      {"5.-5", 2, kBadAmount},  // the fraction holds digits only
      {"5. 5", 2, kBadAmount},
      {"1.5", 10, kBadAmount},  // no amount with ten decimals fits 32 bits
      {"0.000000001", 9, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrToValueExp(c.text, c.decimals), c.expected) << '"' << c.text << "\" / " << c.decimals;
  }
  EXPECT_EQ(StrToValueExp(nullptr, 2), 0u);
}

TEST(StrToInt, ExactDigitCount) {
  EXPECT_EQ(StrToInt("12345", 3), 123u);
  EXPECT_EQ(StrToInt("12345", 0), 0u);
  EXPECT_EQ(StrToInt("12", 3), kBadAmount);  // the terminating zero is no digit
  EXPECT_EQ(StrToInt("-12", 3), kBadAmount);
  EXPECT_EQ(StrToInt(" 12", 3), kBadAmount);
  EXPECT_EQ(StrToInt("4294967295", 10), 4294967295u);
  EXPECT_EQ(StrToInt("4294967296", 10), kBadAmount);
}

TEST(AmountHelpers, OverflowAndPowers) {
  EXPECT_FALSE(is_overflow(429496729u, '5'));
  EXPECT_TRUE(is_overflow(429496729u, '6'));
  EXPECT_TRUE(is_overflow(429496730u, '0'));
  EXPECT_EQ(Power10(0), 1u);
  EXPECT_EQ(Power10(9), 1000000000u);
  EXPECT_EQ(Power10(10), kBadAmount);
}

TEST(BigAmount, AddCarriesIntoHigh) {
  BigAmount ba{1, 0};
  AddDWORDToBA(ba, 9999999);
  EXPECT_EQ(ba.low, 0u);
  EXPECT_EQ(ba.high, 1u);

  ClearBA(ba);
  AddDWORDToBA(ba, 4294967295u);
  EXPECT_EQ(ba.high, 429u);
  EXPECT_EQ(ba.low, 4967295u);
  AddDWORDToBA(ba, 4294967295u);
  EXPECT_EQ(ba.high, 858u);
  EXPECT_EQ(ba.low, 9934590u);

  BigAmount other{9999999, 2};
  AddBAToBA(ba, other);
  EXPECT_EQ(ba.high, 861u);
  EXPECT_EQ(ba.low, 9934589u);
}

TEST(BigAmount, SubtractBorrowsAndNeverWraps) {
  BigAmount ba{5, 2};
  SubDWORDFromBA(ba, 6);
  EXPECT_EQ(ba.high, 1u);
  EXPECT_EQ(ba.low, 9999999u);
  SubBAFromBA(ba, BigAmount{9999999, 1});
  EXPECT_EQ(ba.high, 0u);
  EXPECT_EQ(ba.low, 0u);

  // Taking away more than the total leaves zero, not a huge total.
  ba = BigAmount{3, 0};
  SubDWORDFromBA(ba, 4);
  EXPECT_EQ(ba.high, 0u);
  EXPECT_EQ(ba.low, 0u);
  ba = BigAmount{0, 1};
  SubBAFromBA(ba, BigAmount{1, 1});
  EXPECT_EQ(ba.high, 0u);
  EXPECT_EQ(ba.low, 0u);
}

TEST(BigAmount, Conversions) {
  EXPECT_EQ(BAToDWORD(BigAmount{5, 3}), 30000005u);
  BigAmount ba = StringToBA("123456789012", 12);
  EXPECT_EQ(ba.high, 12345u);
  EXPECT_EQ(ba.low, 6789012u);
  ba = StringToBA("1234", 4);
  EXPECT_EQ(ba.high, 0u);
  EXPECT_EQ(ba.low, 1234u);

  struct Case {
    BigAmount ba;
    int32_t minWidth;
    const char* text;
  };
  const Case strCases[] = {
      {{0, 0}, -1, ""},
      {{0, 0}, 1, "0"},
      {{5, 0}, 3, "005"},
      {{6789012, 12345}, -1, "123456789012"},
      {{7, 1}, -1, "10000007"},
  };
  for (const auto& c : strCases) {
    char out[kBAStrSize];
    BAToStr(c.ba, out, c.minWidth);
    EXPECT_STREQ(out, c.text);
  }

  struct PCase {
    BigAmount ba;
    uint32_t decimals;
    const char* text;
  };
  const PCase printable[] = {
      {{12345, 0}, 2, "123.45"},
      {{0, 0}, 2, "0.00"},
      {{5, 0}, 2, "0.05"},
      {{5, 0}, 0, "0.05"},
      {{5, 0}, 3, "0.005"},
      {{0, 1}, 2, "100000.00"},
  };
  for (const auto& c : printable) {
    char out[kBAPrintableSize];
    BAToPrintable(c.ba, out, c.decimals);
    EXPECT_STREQ(out, c.text);
  }
}

TEST(BigAmount, SizedPrintingIsCut) {
  char out[4];
  EXPECT_EQ(BAToPrintableSize(BigAmount{12345, 0}, out, sizeof out, 2), 3u);
  EXPECT_STREQ(out, "123");
  EXPECT_EQ(BAToStrSize(BigAmount{12345, 0}, out, sizeof out, -1), 3u);
  EXPECT_STREQ(out, "123");
}

}  // namespace
}  // namespace common
