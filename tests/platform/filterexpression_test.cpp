#include "platform/filterexpression.h"

#include <gtest/gtest.h>

#include <random>

using namespace kestrel::platform;

namespace {

// Just the fields the system's filters name, laid out like the record files.
constexpr FieldDef kInvFields[] = {
    {"INV:PRV", FieldKind::Packed, 2, 0, 0},     {"INV:PAT", FieldKind::Packed, 3, 0, 2},
    {"INV:INV", FieldKind::Packed, 5, 0, 5},     {"INV:PRIMARY", FieldKind::Digits, 11, 0, 10},
    {"INV:BDUE", FieldKind::Packed, 10, 2, 21},  {"INV:NAME", FieldKind::Text, 10, 0, 31},
};
constexpr FieldDef kItmFields[] = {
    {"ITM:PRV", FieldKind::Packed, 2, 0, 0}, {"ITM:PAT", FieldKind::Packed, 4, 0, 2},
    {"ITM:INV", FieldKind::Packed, 4, 0, 6}, {"ITM:CPT", FieldKind::Text, 7, 0, 10},
    {"ITM:FEE", FieldKind::Packed, 5, 2, 17},
};
constexpr FieldDef kPatFields[] = {
    {"PAT:PAT", FieldKind::Packed, 3, 0, 0}, {"PAT:NOWBALAN", FieldKind::Packed, 10, 2, 3}};
constexpr FieldDef kAutFields[] = {{"AUT:PAT", FieldKind::Packed, 3, 0, 0}};

const FileDef kInv{"Invoice", "INV", "Invoice.db", 41, kInvFields, {}};
const FileDef kItm{"Item", "ITM", "Item.db", 22, kItmFields, {}};
const FileDef kPat{"Patient", "PAT", "Patient.db", 13, kPatFields, {}};
const FileDef kAut{"Auth", "AUT", "Auth.db", 3, kAutFields, {}};

Decimal num(const char* s) { return *Decimal::parse(s); }

class FilterTest : public ::testing::Test {
protected:
    FilterTest()
    {
        clearRecord(kInv, inv);
        clearRecord(kItm, itm);
        clearRecord(kPat, pat);
        clearRecord(kAut, aut);
        names.bindFile(kInv, inv);
        names.bindFile(kItm, itm);
        names.bindFile(kPat, pat);
        names.bindFile(kAut, aut);
        names.bind("BRW2::Sort1:Reset:PAT:PAT", FilterBinding::variable(&rangePat));
        names.bind("BRW2::Sort1:Reset:INV:PAT", FilterBinding::variable(&rangeInvPat));
        names.bind("BRW2::Sort1:Reset:INV:PRV", FilterBinding::variable(&rangeInvPrv));
        names.bind("BRW2::Sort1:Reset:INV:INV", FilterBinding::variable(&rangeInvInv));
        names.bind("NUMBER", FilterBinding::variable(&number));
    }

    void set(const FileDef& file, unsigned char* rec, const char* label, FieldValue v)
    {
        std::string err;
        ASSERT_TRUE(writeField(*file.field(label), rec, v, &err)) << label << ": " << err;
    }
    void item(int prv, int patNo, int invNo, const char* cpt, const char* fee)
    {
        set(kItm, itm, "ITM:PRV", Decimal(prv));
        set(kItm, itm, "ITM:PAT", Decimal(patNo));
        set(kItm, itm, "ITM:INV", Decimal(invNo));
        set(kItm, itm, "ITM:CPT", std::string(cpt));
        set(kItm, itm, "ITM:FEE", num(fee));
    }

    FilterExpression compile(std::string_view text)
    {
        FilterError err;
        auto e = FilterExpression::compile(text, names.resolver(), &err);
        EXPECT_TRUE(e) << text << ": " << err.message;
        return e ? std::move(*e) : FilterExpression();
    }
    std::string errorOf(std::string_view text, int* position = nullptr)
    {
        FilterError err;
        auto e = FilterExpression::compile(text, names.resolver(), &err);
        EXPECT_FALSE(e) << "compiled: " << text;
        if (position) *position = err.position;
        return err.message;
    }

    unsigned char inv[41], itm[22], pat[13], aut[3];
    FieldValue rangePat = Decimal(0), rangeInvPat = Decimal(0), rangeInvPrv = Decimal(0),
               rangeInvInv = Decimal(0), number = Decimal(0);
    FilterNames names;
};

TEST_F(FilterTest, ClaimsOfThePatientInRange)
{
    auto f = compile("INV:PAT = BRW2::Sort1:Reset:PAT:PAT");
    rangePat = Decimal(42);
    set(kInv, inv, "INV:PAT", Decimal(42));
    EXPECT_TRUE(f.evaluate());
    set(kInv, inv, "INV:PAT", Decimal(43));
    EXPECT_FALSE(f.evaluate());
    rangePat = Decimal(43);  // the range variable is read at each evaluation
    EXPECT_TRUE(f.evaluate());

    ASSERT_EQ(f.equalityConjuncts().size(), 2u);
    EXPECT_EQ(f.equalityConjuncts()[0].name, "INV:PAT");
    EXPECT_EQ(f.equalityConjuncts()[0].valueName, "BRW2::SORT1:RESET:PAT:PAT");
    EXPECT_EQ(f.equalityConjuncts()[0].value.read(), FieldValue(Decimal(43)));
}

TEST_F(FilterTest, ServiceLinesOfTheClaim)
{
    auto f = compile("ITM:PAT = BRW2::Sort1:Reset:INV:PAT AND ITM:PRV = BRW2::Sort1:Reset:INV:PRV AND ITM:INV = "
                     "BRW2::Sort1:Reset:INV:INV AND (ITM:FEE > -.01 AND ITM:CPT<>000001  AND ITM:CPT<>000002 AND "
                     "ITM:CPT<>000003 AND ITM:CPT<>000004 AND ITM:CPT<>000005 )");
    rangeInvPat = Decimal(7);
    rangeInvPrv = Decimal(2);
    rangeInvInv = Decimal(1001);

    item(2, 7, 1001, "99213", "75.00");
    EXPECT_TRUE(f.evaluate());
    item(2, 7, 1001, "G0008", "0.00");  // no charge is still a service line
    EXPECT_TRUE(f.evaluate());
    item(2, 7, 1001, "99213", "-0.01");
    EXPECT_FALSE(f.evaluate());
    for (const char* code : {"00001", "00003", "000005", "5", "2"}) {
        item(2, 7, 1001, code, "0.00");
        EXPECT_FALSE(f.evaluate()) << code;
    }
    item(3, 7, 1001, "99213", "75.00");  // other provider
    EXPECT_FALSE(f.evaluate());
    item(2, 7, 1002, "99213", "75.00");  // other claim
    EXPECT_FALSE(f.evaluate());

    // The three range conditions, not the inner group's conditions.
    std::vector<std::string> eq;
    for (const auto& c : f.equalityConjuncts()) eq.push_back(c.name);
    EXPECT_EQ(eq, (std::vector<std::string>{"ITM:PAT", "BRW2::SORT1:RESET:INV:PAT", "ITM:PRV",
                                            "BRW2::SORT1:RESET:INV:PRV", "ITM:INV", "BRW2::SORT1:RESET:INV:INV"}));
    EXPECT_EQ(f.equalityConjuncts()[4].value.read(), FieldValue(Decimal(1001)));
}

TEST_F(FilterTest, CarrierStatusClaims)
{
    auto f = compile("(INV:PRIMARY< >0  AND INV:BDUE > 0)");
    set(kInv, inv, "INV:PRIMARY", std::string("12345678901"));
    set(kInv, inv, "INV:BDUE", num("0.01"));
    EXPECT_TRUE(f.evaluate());
    set(kInv, inv, "INV:BDUE", num("0"));
    EXPECT_FALSE(f.evaluate());
    set(kInv, inv, "INV:BDUE", num("-12.50"));
    EXPECT_FALSE(f.evaluate());
    set(kInv, inv, "INV:BDUE", num("100"));
    set(kInv, inv, "INV:PRIMARY", std::string(""));  // no primary insurance: blank reads as 0
    EXPECT_FALSE(f.evaluate());
    set(kInv, inv, "INV:PRIMARY", std::string("00000000000"));
    EXPECT_FALSE(f.evaluate());
    EXPECT_TRUE(f.equalityConjuncts().empty());
}

TEST_F(FilterTest, PaymentLinesCompareTheCodeAsANumber)
{
    auto f = compile("(ITM:FEE <= 0 OR ITM:CPT=00004)");
    item(1, 1, 1, "00004", "20.00");  // a refund with a positive amount
    EXPECT_TRUE(f.evaluate());
    item(1, 1, 1, "4", "20.00");
    EXPECT_TRUE(f.evaluate());
    item(1, 1, 1, "99213", "0.00");
    EXPECT_TRUE(f.evaluate());
    item(1, 1, 1, "00001", "-40.00");
    EXPECT_TRUE(f.evaluate());
    item(1, 1, 1, "99213", "40.00");
    EXPECT_FALSE(f.evaluate());
    EXPECT_TRUE(f.equalityConjuncts().empty());  // under OR: not a range

    auto services = compile("(ITM:FEE > 0 AND ITM:CPT<>000004)");
    EXPECT_TRUE(services.evaluate());
    item(1, 1, 1, "00004", "40.00");
    EXPECT_FALSE(services.evaluate());
}

TEST_F(FilterTest, NamesIgnoreLetterCase)
{
    auto f = compile("pat:nowbalan >0");
    set(kPat, pat, "PAT:NOWBALAN", num("0.01"));
    EXPECT_TRUE(f.evaluate());
    set(kPat, pat, "PAT:NOWBALAN", num("0"));
    EXPECT_FALSE(f.evaluate());
    set(kPat, pat, "PAT:NOWBALAN", num("-5"));
    EXPECT_FALSE(f.evaluate());

    auto g = compile("Inv:Pat = brw2::sort1:reset:pat:pat and not INV:BDUE > 0");
    rangePat = Decimal(5);
    set(kInv, inv, "INV:PAT", Decimal(5));
    EXPECT_TRUE(g.evaluate());
}

TEST_F(FilterTest, FieldsOfOtherBuffersAndBoundNumbers)
{
    auto f = compile("(AUT:PAT=INV:PAT)");
    set(kAut, aut, "AUT:PAT", Decimal(12));
    set(kInv, inv, "INV:PAT", Decimal(12));
    EXPECT_TRUE(f.evaluate());
    set(kInv, inv, "INV:PAT", Decimal(13));
    EXPECT_FALSE(f.evaluate());
    ASSERT_EQ(f.equalityConjuncts().size(), 2u);  // both directions; the caller picks its own field
    EXPECT_EQ(f.equalityConjuncts()[0].name, "AUT:PAT");
    EXPECT_EQ(f.equalityConjuncts()[0].value.read(), FieldValue(Decimal(13)));
    EXPECT_EQ(f.equalityConjuncts()[1].name, "INV:PAT");

    auto g = compile("INV:INV = NUMBER");
    number = Decimal(123456789);
    set(kInv, inv, "INV:INV", Decimal(123456789));
    EXPECT_TRUE(g.evaluate());
    number = Decimal(123456788);
    EXPECT_FALSE(g.evaluate());

    // A computed binding is called at every evaluation.
    int calls = 0;
    names.bind("IDPAT", FilterBinding::computed([&calls] {
        ++calls;
        return FieldValue(Decimal(13));
    }));
    auto h = compile("INV:PAT = PAT:PAT AND (INV:PAT=IDPAT)");
    set(kPat, pat, "PAT:PAT", Decimal(13));
    EXPECT_TRUE(h.evaluate());
    EXPECT_TRUE(h.evaluate());
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(h.equalityConjuncts().size(), 4u);
    EXPECT_EQ(h.equalityConjuncts()[2].name, "INV:PAT");
    EXPECT_EQ(h.equalityConjuncts()[2].valueName, "IDPAT");
}

TEST_F(FilterTest, TextComparisons)
{
    set(kInv, inv, "INV:NAME", std::string("Smith"));
    EXPECT_TRUE(compile("INV:NAME = 'Smith'").evaluate());
    EXPECT_TRUE(compile("INV:NAME = 'Smith   '").evaluate());  // trailing blanks ignored
    EXPECT_FALSE(compile("INV:NAME = 'SMITH'").evaluate());    // letter case counts
    EXPECT_FALSE(compile("INV:NAME = ' Smith'").evaluate());
    EXPECT_TRUE(compile("INV:NAME > 'Smit' AND INV:NAME < 'Smiths' AND INV:NAME >= 'Smith'").evaluate());
    EXPECT_TRUE(compile("INV:NAME< >'Jones'").evaluate());
    EXPECT_TRUE(compile("INV:NAME").evaluate());  // non-blank text is true
    EXPECT_TRUE(compile("NOT INV:PRIMARY").evaluate());

    set(kInv, inv, "INV:NAME", std::string("O'Hara"));
    EXPECT_TRUE(compile("INV:NAME = 'O''Hara'").evaluate());
    set(kInv, inv, "INV:NAME", std::string("Pe\xF1" "a"));  // the record holds Windows-1252
    EXPECT_TRUE(compile("INV:NAME = 'Peña'").evaluate());
    set(kInv, inv, "INV:NAME", std::string("\xE9"));
    EXPECT_TRUE(compile("INV:NAME > 'z'").evaluate());  // bytes above 127 sort after ASCII

    // Text with a number: the text's leading number, else 0.
    set(kInv, inv, "INV:NAME", std::string("12AB"));
    EXPECT_TRUE(compile("INV:NAME = 12").evaluate());
    EXPECT_TRUE(compile("INV:NAME = 12.00 AND 11.5 < INV:NAME").evaluate());
    set(kInv, inv, "INV:NAME", std::string("AB"));
    EXPECT_TRUE(compile("INV:NAME = 0").evaluate());
    EXPECT_TRUE(compile("'007' = 7 AND '7' <> '007'").evaluate());
}

TEST_F(FilterTest, AndBindsTighterThanOr)
{
    set(kInv, inv, "INV:PRV", Decimal(1));
    set(kInv, inv, "INV:PAT", Decimal(2));
    set(kInv, inv, "INV:INV", Decimal(3));
    EXPECT_TRUE(compile("INV:PRV = 1 OR INV:PAT = 9 AND INV:INV = 9").evaluate());
    EXPECT_FALSE(compile("(INV:PRV = 1 OR INV:PAT = 9) AND INV:INV = 9").evaluate());
    EXPECT_FALSE(compile("NOT INV:PRV = 1 OR INV:INV = 9").evaluate());
    EXPECT_TRUE(compile("NOT (INV:PRV = 1 AND INV:INV = 9)").evaluate());
    EXPECT_TRUE(compile("NOT NOT INV:PRV = +1.0").evaluate());

    // A very long chain neither exhausts the stack nor loses a condition.
    std::string chain = "INV:PRV = 1";
    for (int i = 0; i < 200000; ++i) chain += " AND INV:PAT = 2";
    auto longAnd = compile(chain + " AND INV:INV = 3");
    EXPECT_TRUE(longAnd.evaluate());
    set(kInv, inv, "INV:INV", Decimal(4));
    EXPECT_FALSE(longAnd.evaluate());
    EXPECT_TRUE(compile(chain + " OR INV:INV = 3").evaluate());
}

TEST_F(FilterTest, MalformedExpressionsAreRejected)
{
    int pos = 0;
    EXPECT_EQ(errorOf("(INV:BDUE > 0", &pos), "missing \")\" for the \"(\" at position 1");
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(errorOf("INV:BDUE > 0)", &pos), "unmatched \")\" at position 13");
    EXPECT_EQ(errorOf("INV:BDUE > 0 AND"), "expected a name, a number or a text, found the end at position 17");
    EXPECT_EQ(errorOf("AND INV:BDUE > 0"), "expected a name, a number or a text, found \"AND\" at position 1");
    EXPECT_EQ(errorOf("INV:BDUE > 0 AND OR INV:PAT = 1", &pos),
              "expected a name, a number or a text, found \"OR\" at position 18");
    EXPECT_EQ(errorOf("INV:PAT = BRW2::Sort1:Reset:PAT:PATX", &pos),
              "unknown name \"BRW2::Sort1:Reset:PAT:PATX\" at position 11");
    EXPECT_EQ(pos, 11);
    EXPECT_EQ(errorOf("INV:BDUE > 1.2.3"), "bad number \"1.2.3\" at position 12");
    EXPECT_EQ(errorOf("ITM:CPT<>0001A"), "bad number \"0001A\" at position 10");
    EXPECT_EQ(errorOf("INV:BDUE > -"), "bad number \"-\" at position 12");
    EXPECT_EQ(errorOf("INV:BDUE > 99999999999999999999"), "number too large \"99999999999999999999\" at position 12");
    EXPECT_EQ(errorOf("INV:NAME = 'abc"), "text without its closing quote at position 12");
    EXPECT_EQ(errorOf("INV:NAME = 'Ω'"), "text with a character the record files cannot hold at position 12");
    EXPECT_EQ(errorOf("INV:BDUE # 1"), "unexpected character \"#\" at position 10");
    EXPECT_EQ(errorOf("INV:BDUE > 1 2"), "expected AND, OR or the end, found \"2\" at position 14");
    EXPECT_EQ(errorOf("()"), "expected a name, a number or a text, found \")\" at position 2");
    EXPECT_EQ(errorOf("(INV:BDUE > 1 INV:PAT)"), "expected \")\", AND or OR, found \"INV:PAT\" at position 15");
    EXPECT_EQ(errorOf("INV:BDUE >"), "expected a name, a number or a text, found the end at position 11");
    EXPECT_EQ(errorOf("INV:BDUE = = 1"), "expected a name, a number or a text, found \"=\" at position 12");
    EXPECT_EQ(errorOf("INV:BDUE > 0 AND ü"), "unexpected character \"ü\" at position 18");
    EXPECT_EQ(errorOf(std::string(5000, '(') + "INV:PAT = 1" + std::string(5000, ')')),
              "expression nested too deeply at position 102");
    EXPECT_EQ(errorOf(std::string(5000, ' ') + std::string(5000, 'N') + "OT INV:PAT"),
              "unknown name \"" + std::string(5000, 'N') + "OT\" at position 5001");

    // Without a resolver every name is unknown, and still no crash.
    FilterError err;
    EXPECT_FALSE(FilterExpression::compile("INV:PAT = 1", FilterResolver{}, &err));
    EXPECT_EQ(err.message, "unknown name \"INV:PAT\" at position 1");
    // A resolver that throws is an error, not an escaping exception.
    FilterResolver throwing = [](std::string_view) -> std::optional<FilterBinding> {
        throw std::runtime_error("dictionary not loaded");
    };
    EXPECT_FALSE(FilterExpression::compile("INV:PAT = 1", throwing, &err));
    EXPECT_NE(err.message.find("dictionary not loaded"), std::string::npos);
}

TEST_F(FilterTest, BlankTextPassesEveryRecord)
{
    for (const char* text : {"", "   ", "\t\n"}) {
        auto f = compile(text);
        EXPECT_TRUE(f.passesAll());
        EXPECT_TRUE(f.evaluate());
        EXPECT_TRUE(f.equalityConjuncts().empty());
    }
    EXPECT_TRUE(FilterExpression().evaluate());
}

// Random token soup: compile must either succeed or report, never crash, and
// whatever compiles must evaluate.
TEST_F(FilterTest, ArbitraryTextNeverCrashes)
{
    const char* pieces[] = {"(", ")", " AND ", " OR ", "NOT ", "=", "<", ">", "< >", "<=", "INV:BDUE", "ITM:CPT",
                            "NUMBER", "0", "-.01", "000004", "'x'", "'", "''", " ", "1.", ".", "+", "INV:NAME", "#"};
    std::mt19937 rng(20240517);
    int compiled = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        int n = int(rng() % 9);
        for (int i = 0; i < n; ++i) text += pieces[rng() % std::size(pieces)];
        FilterError err;
        auto f = FilterExpression::compile(text, names.resolver(), &err);
        if (f) {
            ++compiled;
            f->evaluate();
        } else {
            EXPECT_FALSE(err.message.empty()) << text;
            EXPECT_GE(err.position, 1) << text;
            EXPECT_LE(err.position, int(text.size()) + 1) << text;
        }
    }
    EXPECT_GT(compiled, 100);
}

} // namespace
