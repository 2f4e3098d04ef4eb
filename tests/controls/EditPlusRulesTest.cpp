#include "controls/EditPlusRules.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* input;
    bool valid;
    const char* expected;  // the normalised text when valid
};

void PrintTo(const Case& c, std::ostream* os)
{
    *os << '"' << c.input << '"';
}

void Check(const NormalizedValue& v, const Case& c)
{
    EXPECT_EQ(v.valid, c.valid);
    if (c.valid) {
        EXPECT_EQ(v.text, QString::fromUtf8(c.expected));
    }
}

const QDate kToday(2024, 3, 20);  // a leap year, in a 31-day month
const QDate kFebruary(2023, 2, 10);

class DateCases : public ::testing::TestWithParam<Case> {};

TEST_P(DateCases, NormalisesOrRefuses)
{
    Check(NormalizeDate(QString::fromUtf8(GetParam().input), kToday), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    EditPlus, DateCases,
    ::testing::Values(
        Case{"5", true, "2024-03-05"},               // a day of the current month
        Case{"31", true, "2024-03-31"},
        Case{"05", true, "2024-03-05"},
        Case{"0315", true, "2024-03-15"},            // leading zero: month and day
        Case{"1225", true, "2024-12-25"},
        Case{"0123", true, "2024-01-23"},
        Case{"3-7", true, "2024-03-07"},
        Case{"3/7", true, "2024-03-07"},
        Case{"120315", true, "2012-03-15"},          // six digits: two-digit year
        Case{"20120315", true, "2012-03-15"},        // eight digits
        Case{"12/3/5", true, "2012-03-05"},
        Case{"2012-3-5", true, "2012-03-05"},
        Case{"1999-12-31", true, "1999-12-31"},
        Case{"2024-02-29", true, "2024-02-29"},
        Case{" 3-7 ", true, "2024-03-07"},
        Case{"0", true, "0"},                        // zero stays as typed
        Case{"", true, ""},
        Case{"2012-02-30", false, ""},
        Case{"2023-02-29", false, ""},
        Case{"45", false, ""},
        Case{"315", false, ""},                      // no leading zero: taken as a year
        Case{"2012", false, ""},
        Case{"1332", false, ""},                     // month 13
        Case{"2012031", false, ""},                  // seven digits
        Case{"123456789", false, ""},
        Case{"3--7", false, ""},                     // empty item
        Case{"-3", false, ""},
        Case{"3-7-", false, ""},
        Case{"1-2-3-4", false, ""},
        Case{"3-x", false, ""},
        Case{"99999999999999999999999", false, ""},  // does not fit any number
        Case{"2012-00-10", false, ""},
        Case{"2012-01-00", false, ""}));

TEST(EditPlusDate, DayOnlyFailsInAShortMonth)
{
    EXPECT_FALSE(NormalizeDate("31", kFebruary).valid);
    EXPECT_FALSE(NormalizeDate("30", kFebruary).valid);
    EXPECT_EQ(NormalizeDate("28", kFebruary).text, "2023-02-28");
}

class TimeCases : public ::testing::TestWithParam<Case> {};

TEST_P(TimeCases, NormalisesOrRefuses)
{
    Check(NormalizeTime(QString::fromUtf8(GetParam().input)), GetParam());
}

INSTANTIATE_TEST_SUITE_P(EditPlus, TimeCases,
                         ::testing::Values(Case{"9:5", true, "09:05"}, Case{"23:59", true, "23:59"},
                                           Case{"0:0", true, "00:00"}, Case{"", true, ""},
                                           Case{"24:00", false, ""}, Case{"12:60", false, ""},
                                           Case{"9", false, ""}, Case{"9:", false, ""},
                                           Case{":5", false, ""}, Case{"1:2:3", false, ""},
                                           Case{"a:b", false, ""}));

class DecimalCases : public ::testing::TestWithParam<Case> {};

TEST_P(DecimalCases, NormalisesOrRefuses)
{
    Check(NormalizeDecimal(QString::fromUtf8(GetParam().input)), GetParam());
}

INSTANTIATE_TEST_SUITE_P(EditPlus, DecimalCases,
                         ::testing::Values(Case{"3.5", true, "3.500"}, Case{"12", true, "12.000"},
                                           Case{".25", true, "0.250"}, Case{"1.23456", true, "1.234"},
                                           Case{"3.", true, "3.000"}, Case{"007.1", true, "7.100"},
                                           Case{"", true, ""}, Case{"1.2.3", false, ""},
                                           Case{"-0.5", false, ""}, Case{"1.2x", false, ""},
                                           Case{"1,5", false, ""}));

TEST(EditPlusKinds, OnlyCheckedKindsAreRefusedAndCarryTheirMessage)
{
    EXPECT_EQ(InvalidEntryMessage(EditKind::Date), QStringLiteral("일자 입력이 잘못되었습니다."));
    EXPECT_EQ(InvalidEntryMessage(EditKind::Time), QStringLiteral("시간 입력이 잘못되었습니다."));
    EXPECT_EQ(InvalidEntryMessage(EditKind::Decimal), QStringLiteral("입력이 잘못되었습니다."));
    // Plain and integer fields keep whatever was typed.
    EXPECT_TRUE(NormalizeByKind(EditKind::Integer, "12ab", kToday).valid);
    EXPECT_EQ(NormalizeByKind(EditKind::Plain, " x ", kToday).text, " x ");
    EXPECT_EQ(NormalizeByKind(EditKind::Date, "0315", kToday).text, "2024-03-15");
}

TEST(EditPlusTyping, EachKindTakesItsOwnCharacters)
{
    struct Row {
        EditKind kind;
        const char* accepted;
        const char* refused;
    };
    const Row rows[] = {
        {EditKind::Date, "0123456789-/", "a:. ',+"},
        {EditKind::Time, "0123456789:", "a-/. '"},
        {EditKind::Decimal, "0123456789.", "a-,: '"},
        {EditKind::Integer, "0123456789", "a.,: '+"},
    };
    for (const Row& r : rows) {
        for (QChar c : QString::fromUtf8(r.accepted))
            EXPECT_EQ(FilterTypedChar(r.kind, c, 3), CharVerdict::Accept) << int(r.kind) << " " << c.toLatin1();
        for (QChar c : QString::fromUtf8(r.refused))
            EXPECT_EQ(FilterTypedChar(r.kind, c, 3), CharVerdict::Refuse) << int(r.kind) << " " << c.toLatin1();
        EXPECT_EQ(FilterTypedChar(r.kind, QChar(u'가'), 0), CharVerdict::Refuse);
        // Enter, Esc and Backspace go on to the common handling in every kind.
        EXPECT_EQ(FilterTypedChar(r.kind, QChar(13), 0), CharVerdict::PassOn);
        EXPECT_EQ(FilterTypedChar(r.kind, QChar(27), 0), CharVerdict::PassOn);
        EXPECT_EQ(FilterTypedChar(r.kind, QChar(8), 0), CharVerdict::PassOn);
    }
    EXPECT_EQ(FilterTypedChar(EditKind::Integer, u'-', 0), CharVerdict::Accept);
    EXPECT_EQ(FilterTypedChar(EditKind::Integer, u'-', 1), CharVerdict::Refuse);
    EXPECT_EQ(FilterTypedChar(EditKind::Plain, u'\'', 0), CharVerdict::PassOn);
    EXPECT_EQ(FilterTypedChar(EditKind::Plain, u'x', 0), CharVerdict::PassOn);
}

TEST(EditPlusTyping, CaseFoldsAsciiLettersOnly)
{
    EXPECT_EQ(FoldCase(u'a', EditCharCase::Upper), QChar(u'A'));
    EXPECT_EQ(FoldCase(u'Z', EditCharCase::Lower), QChar(u'z'));
    EXPECT_EQ(FoldCase(u'a', EditCharCase::Normal), QChar(u'a'));
    EXPECT_EQ(FoldCase(QChar(0xE9), EditCharCase::Upper), QChar(0xE9));
    EXPECT_EQ(FoldCase(u'가', EditCharCase::Upper), QChar(u'가'));
}

TEST(EditPlusPaste, PastedTextObeysTheTypingRules)
{
    FilteredInsert p = FilterInsertedText(EditKind::Plain, "it's\r\nok", 0, EditCharCase::Upper);
    EXPECT_EQ(p.text, "ITS OK");
    EXPECT_FALSE(p.refused);

    p = FilterInsertedText(EditKind::Integer, "-12-3", 0, EditCharCase::Normal);
    EXPECT_EQ(p.text, "-123");
    EXPECT_TRUE(p.refused);
    p = FilterInsertedText(EditKind::Integer, "-5", 2, EditCharCase::Normal);
    EXPECT_EQ(p.text, "5");

    p = FilterInsertedText(EditKind::Date, "2012-03-15\n", 0, EditCharCase::Normal);
    EXPECT_EQ(p.text, "2012-03-15");
    EXPECT_FALSE(p.refused);
    p = FilterInsertedText(EditKind::Date, "2012년 3월", 0, EditCharCase::Normal);
    EXPECT_EQ(p.text, "20123");
    EXPECT_TRUE(p.refused);
}

} // namespace
