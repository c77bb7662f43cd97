#include <cmath>

#include "planner/base/qorCalendar.h"
#include "planner/base/qorStrings.h"
#include "planner/base/qorVariant.h"
#include "tests/planner/base/test_util.h"

namespace {

class VariantTest : public RegionalTest {};

TEST_F(VariantTest, TextForms) {
  EXPECT_EQ(TqorVariant().ToText(), "");
  EXPECT_EQ(TqorVariant(-42).ToText(), "-42");
  EXPECT_EQ(TqorVariant(true).ToText(), "-1");
  EXPECT_EQ(TqorVariant(false).ToText(), "0");
  EXPECT_EQ(TqorVariant::Null().ToText(), "");
  EXPECT_EQ(TqorVariant(38353.0).ToText(), "38353");
  EXPECT_EQ(TqorVariant(-0.0).ToText(), "0");
  EXPECT_EQ(TqorVariant(17.5).ToText(), "17.5");
  EXPECT_EQ(TqorVariant(1.0 / 3).ToText(), "0.333333333333333");
  EXPECT_EQ(TqorVariant(311.4285714285714).ToText(), "311.428571428571");
  EXPECT_EQ(TqorVariant(0.1 + 0.2).ToText(), "0.3");
  EXPECT_EQ(TqorVariant(1e20).ToText(), "1E+20");
  EXPECT_EQ(TqorVariant(123456789012345.0).ToText(), "123456789012345");

  RegionalSettings().DecimalSeparator = ",";
  EXPECT_EQ(TqorVariant(17.5).ToText(), "17,5");
  EXPECT_EQ(TqorVariant(38353.0).ToText(), "38353");
}

// A process running under a locale with a decimal comma still writes what the regional settings
// ask for: "." when the program chose it.
TEST_F(VariantTest, NumbersIgnoreTheProcessLocale) {
  ProcessLocale german("de_DE.UTF-8");
  ASSERT_TRUE(german.Active()) << "the de_DE.UTF-8 locale is not installed";
  EXPECT_EQ(TqorVariant(1.5).ToText(), "1.5");
  EXPECT_EQ(TqorVariant(1e-7).ToText(), "1E-07");
  EXPECT_EQ(CFormat("%2.1f|%g", 7.25, 0.5), "7.2|0.5");
  double value = 0;
  ASSERT_TRUE(IsFloat("2.75", value));
  EXPECT_EQ(value, 2.75);
  RegionalSettings().DecimalSeparator = ",";
  EXPECT_EQ(TqorVariant(1.5).ToText(), "1,5");
}

TEST_F(VariantTest, DatesUseTheShortDateFormat) {
  const double d = EncodeDate(2005, 1, 3);
  EXPECT_EQ(d, 38355);
  EXPECT_EQ(TqorVariant::FromDate(d).ToText(), "03.01.2005");
  EXPECT_EQ(TqorVariant::FromDate(d + 0.75).ToText(), "03.01.2005 18:00:00");
  RegionalSettings().ShortDateFormat = "M/d/yy";
  RegionalSettings().LongTimeFormat = "h:nn AM/PM";
  EXPECT_EQ(TqorVariant::FromDate(d).ToText(), "1/3/05");
  EXPECT_EQ(TqorVariant::FromDate(d + 0.5).ToText(), "1/3/05 12:00 PM");
  EXPECT_EQ(TqorVariant::FromDate(d + 0.25).ToText(), "1/3/05 6:00 AM");
  RegionalSettings().ShortDateFormat = "ddd dd-MMM-yyyy";
  EXPECT_EQ(TqorVariant::FromDate(d).ToText(), "Mon 03-Jan-2005");
  // A date value keeps its number for every numeric use.
  EXPECT_EQ(TqorVariant::FromDate(d).AsReal(), 38355);
  EXPECT_EQ(TqorVariant::FromDate(d).AsInteger(), 38355);
}

TEST_F(VariantTest, FromText) {
  EXPECT_EQ(TqorVariant("12.5").AsReal(), 12.5);
  EXPECT_EQ(TqorVariant(" -3e2 ").AsReal(), -300);
  EXPECT_THROW(TqorVariant("").AsReal(), EqorVariantError);
  EXPECT_THROW(TqorVariant("12,5").AsReal(), EqorVariantError);
  RegionalSettings().DecimalSeparator = ",";
  EXPECT_EQ(TqorVariant("12,5").AsReal(), 12.5);
  EXPECT_THROW(TqorVariant("12.5").AsReal(), EqorVariantError);
  RegionalSettings().DecimalSeparator = ".";

  EXPECT_TRUE(TqorVariant("True").AsBoolean());
  EXPECT_TRUE(TqorVariant("true").AsBoolean());
  EXPECT_FALSE(TqorVariant("FALSE").AsBoolean());
  EXPECT_TRUE(TqorVariant("-1").AsBoolean());
  EXPECT_TRUE(TqorVariant("0.5").AsBoolean());
  EXPECT_FALSE(TqorVariant("0").AsBoolean());
  EXPECT_THROW(TqorVariant("yes").AsBoolean(), EqorVariantError);

  try {
    TqorVariant("abc").AsReal();
    FAIL();
  } catch (const EqorVariantError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (String) into type (Double)");
  }
  EXPECT_THROW(TqorVariant::Null().AsInteger(), EqorVariantError);

  double date;
  EXPECT_TRUE(TqorVariant("03.01.2005").TryToDate(date));
  EXPECT_EQ(date, 38355);
  EXPECT_TRUE(TqorVariant("3.1.05 12:00").TryToDate(date));
  EXPECT_EQ(date, 38355.5);
  EXPECT_TRUE(TqorVariant("38355").TryToDate(date));
  EXPECT_EQ(date, 38355);
  EXPECT_FALSE(TqorVariant("31.02.2005").TryToDate(date));
  EXPECT_FALSE(TqorVariant("03.01.2005 25:00").TryToDate(date));
}

TEST_F(VariantTest, IntegersRoundHalvesToEven) {
  EXPECT_EQ(TqorVariant(2.5).AsInteger(), 2);
  EXPECT_EQ(TqorVariant(3.5).AsInteger(), 4);
  EXPECT_EQ(TqorVariant(-2.5).AsInteger(), -2);
  EXPECT_EQ(TqorVariant(2.6).AsInteger(), 3);
  EXPECT_EQ(TqorVariant("7.5").AsInteger(), 8);
  EXPECT_EQ(TqorVariant(true).AsInteger(), -1);
  EXPECT_THROW(TqorVariant(3e9).AsInteger(), EqorVariantError);
  EXPECT_THROW(TqorVariant(std::nan("")).AsInteger(), EqorVariantError);
  EXPECT_EQ(TqorVariant(2147483647.0).AsInteger(), 2147483647);
}

TEST_F(VariantTest, EqualityComparesKindAndValue) {
  EXPECT_EQ(TqorVariant(1), TqorVariant(1));
  EXPECT_NE(TqorVariant(1), TqorVariant(1.0));
  EXPECT_NE(TqorVariant("1"), TqorVariant(1));
  EXPECT_NE(TqorVariant::FromDate(5), TqorVariant(5.0));
  EXPECT_EQ(TqorVariant::Null(), TqorVariant::Null());
}

TEST(RegionalSettingsTest, LocaleDefaultsAndPatterns) {
  TqorRegionalSettings c = TqorRegionalSettings::FromLocale("C");
  EXPECT_EQ(c.DecimalSeparator, ".");
  EXPECT_EQ(c.ShortDateFormat, "MM/dd/yy");
  EXPECT_EQ(c.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(c.ShortDayNames[0], "Sun");
  EXPECT_EQ(c.ShortMonthNames[11], "Dec");
  // An unknown locale falls back to "C".
  EXPECT_EQ(TqorRegionalSettings::FromLocale("xx_NOWHERE.bogus").ShortDateFormat, "MM/dd/yy");

  EXPECT_EQ(DatePatternFromStrftime("%d.%m.%Y"), "dd.MM.yyyy");
  EXPECT_EQ(DatePatternFromStrftime("%Y-%m-%d"), "yyyy-MM-dd");
  EXPECT_EQ(DatePatternFromStrftime("%e %b %Y"), "d MMM yyyy");
  EXPECT_EQ(TimePatternFromStrftime("%I:%M:%S %p"), "hh:nn:ss AM/PM");
  EXPECT_EQ(TimePatternFromStrftime("%l:%M"), "h:nn AM/PM");
  EXPECT_EQ(TimePatternFromStrftime("%T"), "hh:nn:ss");

  // The guard restores what a test changed.
  const std::string before = RegionalSettings().DecimalSeparator;
  {
    TqorRegionalSettingsGuard guard;
    RegionalSettings().DecimalSeparator = "#";
  }
  EXPECT_EQ(RegionalSettings().DecimalSeparator, before);
}

}  // namespace
