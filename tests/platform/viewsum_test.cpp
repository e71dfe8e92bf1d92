// Sums of a view computed by the database must equal the sums of the records
// the same view delivers one by one, for every kind of condition the filter
// expressions can state; a condition without an SQL form is left to the walk.
#include "platform/filterexpression.h"
#include "platform/view.h"
#include "recordfile_fixture.h"

namespace kestrel::test {
namespace {

class ViewSum : public RecordFileFixture {
protected:
    void SetUp() override
    {
        i = make(kItem);
        // Codes chosen for the leading-number comparison: "00004", "4AB",
        // " 4" and "4" are 4; "4.5" is not; "J1", "" and "É4" are 0.
        const char* lines[][4] = {
            {"100", "20240101", "99213", "10.00"}, {"100", "20240102", "00004", "15.00"},
            {"100", "20240103", "00001", "-5.25"}, {"100", "20240104", "4AB", "0.00"},
            {"100", "20240105", " 4", "7.10"},     {"100", "20240106", "4.5", "3.33"},
            {"100", "20240107", "J1", "-1.00"},    {"100", "20240108", "", "2.00"},
            {"100", "20240109", "É4", "4.00"},     {"100", "", "4", "1.01"},
            {"101", "20240101", "00004", "99.00"}, {"102", "20240101", "99214", "50.00"},
        };
        for (const auto& l : lines) {
            i->clear();
            i->number("ITM:PRV", "1");
            i->number("ITM:PAT", "5");
            i->number("ITM:INV", l[0]);
            i->text("ITM:DOSF", l[1]);
            i->utf8("ITM:CPT", l[2]);
            i->number("ITM:FEE", l[3]);
            ASSERT_EQ(i->file.add(), 0) << i->file.driverMessage();
        }
        names.bindFile(kItem, i->buffer.data());
        names.bind("CLAIM", FilterBinding::variable(&claim));
        names.bind("CODE", FilterBinding::variable(&code));
    }

    // The view over claim 100 (range on provider, patient, claim) or over
    // the whole order, filtered by `text`.
    struct Sums {
        std::optional<int> inDriver;
        Decimal driver, walked;
    };
    Sums sums(const char* text, int range = 3)
    {
        auto e = FilterExpression::compile(text, names.resolver());
        EXPECT_TRUE(e) << text;
        View v(i->file);
        v.setOrder(ItmInvPatPrvKey);
        v.setRange(range);
        v.setFilter(&*e);
        i->clear();
        i->number("ITM:PRV", "1");
        i->number("ITM:PAT", "5");
        i->number("ITM:INV", "100");
        Sums s;
        std::vector<Decimal> out;
        const std::string before = i->bytes();
        s.inDriver = v.sum({5}, out);
        EXPECT_EQ(i->bytes(), before) << "the database's sum leaves the buffer alone";
        if (s.inDriver && *s.inDriver == 0) s.driver = out.at(0);
        EXPECT_EQ(v.setToStart(), 0);
        while (v.next() == 0) s.walked += std::get<Decimal>(readField(kItmFields[5], i->buffer.data()));
        return s;
    }

    std::unique_ptr<TestFile> i;
    FilterNames names;
    FieldValue claim = Decimal(100);
    FieldValue code = std::string("00004");
};

TEST_F(ViewSum, DatabaseSumsEqualTheWalkForEveryConditionWithAnSqlForm)
{
    const char* withSqlForm[] = {
        "(ITM:FEE > 0 AND ITM:CPT<>000004)",   // the services of a claim
        "(ITM:FEE <= 0 OR ITM:CPT=00004)",     // its other lines
        "NOT (ITM:FEE >= 7.1) OR ITM:CPT = 'J1'",
        "ITM:FEE > 0.001 AND ITM:CPT",         // finer places than the field; a text alone
        "4 = ITM:CPT",                         // the number on the left
        "ITM:CPT = CODE AND ITM:INV = CLAIM",  // a text variable, a number variable
        "ITM:CPT <> '00004' AND 3 < 4",        // texts compared as texts; constants
        "ITM:FEE = ITM:INV OR ITM:PAT > ITM:FEE",
        "",
    };
    for (const char* text : withSqlForm) {
        for (int range : {3, 0}) {
            const Sums s = sums(text, range);
            ASSERT_TRUE(s.inDriver) << text;
            EXPECT_EQ(*s.inDriver, 0) << text << ": " << i->file.driverMessage();
            EXPECT_EQ(s.driver, s.walked) << text << " over " << range << " components: " << s.driver.toString()
                                          << " against " << s.walked.toString();
        }
    }
    // Spot checks by hand: services 10.00 + 3.33 + 4.00 + 2.00 (blank code
    // is 0); the rest -5.25 + 0 + 7.10 + 15.00 - 1.00 + 1.01.
    EXPECT_EQ(sums("(ITM:FEE > 0 AND ITM:CPT<>000004)").driver.toString(), "19.33");
    EXPECT_EQ(sums("(ITM:FEE <= 0 OR ITM:CPT=00004)").driver.toString(), "16.86");
}

TEST_F(ViewSum, OrderedTextsAndPlainCallablesAreLeftToTheWalk)
{
    // SQLite orders texts by their UTF-8, the records hold Windows-1252:
    // ordered texts are never translated.
    EXPECT_FALSE(sums("ITM:CPT > 'A'").inDriver);
    View v(i->file);
    v.setOrder(ItmInvPatPrvKey);
    v.setFilter([] { return true; });
    std::vector<Decimal> out;
    EXPECT_FALSE(v.sum({5}, out));
    // No filter: the whole order; a read fault is the sum's error.
    v.setFilter(nullptr);
    ASSERT_EQ(v.sum({5}, out), 0);
    EXPECT_EQ(out.at(0).toString(), "185.19");
    faults::failOn(faults::Operation::Read, "Item", 1, errc::DriverError);
    EXPECT_EQ(v.sum({5}, out), errc::DriverError);
    faults::clear();
}

} // namespace
} // namespace kestrel::test
