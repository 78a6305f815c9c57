// The date value and its text.
#include "platform/date.h"

#include <gtest/gtest.h>

namespace dbrepair {
namespace {

TEST(DateTest, SerialCountsDaysFromTheZeroDate) {
  struct Row {
    Date date;
    double serial;
  };
  const Row rows[] = {
      {Date(), 0.0},
      {Date::FromParts(1899, 12, 30, 0, 0, 0), 0.0},
      {Date::FromParts(1900, 1, 1, 0, 0, 0), 2.0},
      {Date::FromParts(2000, 1, 1, 12, 0, 0), 36526.5},
      {Date::FromParts(1970, 1, 1, 6, 0, 0), 25569.25},
      {Date::FromUnixSeconds(0), 25569.0},
      // Fields out of range carry over.
      {Date::FromParts(1999, 13, 1, 0, 0, 0), 36526.0},
      {Date::FromParts(1999, 12, 31, 24, 0, 0), 36526.0},
  };
  for (const Row& row : rows) EXPECT_DOUBLE_EQ(row.date.Serial(), row.serial);
}

TEST(DateTest, PartsRoundTrip) {
  Date date = Date::FromUnixSeconds(1237017909);
  Date::Parts p = date.ToParts();
  EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second}),
            (std::vector<int>{2009, 3, 14, 8, 5, 9}));
  EXPECT_EQ(Date::FromParts(2009, 3, 14, 8, 5, 9), date);
  EXPECT_EQ(Date::FromParts(2024, 2, 29, 23, 59, 59).ToParts().day, 29);
}

TEST(DateTest, ZeroDateIsOlderThanEveryFileDate) {
  Date zero;
  EXPECT_TRUE(zero.IsZero());
  EXPECT_LT(zero, Date::FromUnixSeconds(0));
  EXPECT_LT(Date::FromUnixSeconds(100), Date::FromUnixSeconds(101));
  EXPECT_EQ(Date::FromUnixSeconds(100), Date::FromUnixSeconds(100));
}

TEST(DateTest, TextLeavesOutMidnightAndTheZeroDay) {
  const std::locale c = std::locale::classic();
  EXPECT_EQ(DateToText(Date::FromParts(2009, 3, 14, 8, 5, 9), c), "03/14/09 08:05:09");
  EXPECT_EQ(DateToText(Date::FromParts(2009, 3, 14, 0, 0, 0), c), "03/14/09");
  EXPECT_EQ(DateToText(Date(), c), "00:00:00");
  EXPECT_EQ(DateToText(Date::FromParts(1899, 12, 30, 13, 1, 2), c), "13:01:02");
}

}  // namespace
}  // namespace dbrepair
