// Every key order of every file, on the real dictionary and the real driver:
// crafted records with letter-case variants, empty components, duplicates,
// blank dates and negative numbers, walked forward and backward and compared
// with the order the key's attributes call for.
#include "data/records.h"
#include "platform/cp1252.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kestrel;
using platform::Decimal;
using platform::FieldDef;
using platform::FieldKind;
using platform::FileDef;
using platform::KeyDef;
using platform::RecordFile;

namespace {

using Bytes = std::string;  // one record's bytes

// ------------------------------------------------------------------- oracle
// The order a key calls for, computed from the key's description alone.

int compareComponent(const FieldDef& f, bool noCase, const Bytes& a, const Bytes& b)
{
    auto* pa = reinterpret_cast<const unsigned char*>(a.data());
    auto* pb = reinterpret_cast<const unsigned char*>(b.data());
    if (f.kind == FieldKind::Packed) {
        Decimal x = platform::packed::decode(pa + f.offset, f.size, f.places);
        Decimal y = platform::packed::decode(pb + f.offset, f.size, f.places);
        return x < y ? -1 : (y < x ? 1 : 0);
    }
    std::string x = a.substr(std::size_t(f.offset), std::size_t(f.size));
    std::string y = b.substr(std::size_t(f.offset), std::size_t(f.size));
    if (noCase) {
        x = platform::cp1252::toUpper(x);
        y = platform::cp1252::toUpper(y);
    }
    // Windows-1252 bytes compare unsigned; blanks (0x20) pad, so a blank
    // date sorts before every real one.
    for (std::size_t i = 0; i < x.size(); ++i)
        if (x[i] != y[i]) return (unsigned char)x[i] < (unsigned char)y[i] ? -1 : 1;
    return 0;
}

int compareKey(const FileDef& file, const KeyDef& key, const Bytes& a, const Bytes& b)
{
    for (int i = 0; i < key.count(); ++i)
        if (int c = compareComponent(*file.field(key.parts[std::size_t(i)]), key.caseInsensitive(), a, b)) return c;
    return 0;
}

bool allComponentsEmpty(const FileDef& file, const KeyDef& key, const Bytes& r)
{
    for (int i = 0; i < key.count(); ++i)
        if (!platform::fieldIsEmpty(*file.field(key.parts[std::size_t(i)]),
                                    reinterpret_cast<const unsigned char*>(r.data())))
            return false;
    return true;
}

std::vector<Bytes> expectedOrder(const FileDef& file, const KeyDef& key, std::vector<Bytes> added)
{
    if (key.excludesEmpty())
        std::erase_if(added, [&](const Bytes& r) { return allComponentsEmpty(file, key, r); });
    // Ties keep the order the records were added in.
    std::stable_sort(added.begin(), added.end(),
                     [&](const Bytes& a, const Bytes& b) { return compareKey(file, key, a, b) < 0; });
    return added;
}

// True when `r` would duplicate one of `stored` in some unique key.
bool duplicatesUniqueKey(const FileDef& file, const Bytes& r, const std::vector<Bytes>& stored)
{
    for (const auto& key : file.keys) {
        if (!key.unique() || (key.excludesEmpty() && allComponentsEmpty(file, key, r))) continue;
        for (const auto& s : stored)
            if (compareKey(file, key, r, s) == 0) return true;
    }
    return false;
}

// ---------------------------------------------------------------- records

// Values each kind of field takes, chosen so that keys meet equal values in
// two letter cases, accented letters, leading blanks, blank and zero
// components, equal dates and negative numbers.
const char* const kTexts[] = {"smith", "", "SMITH", "Adams", "eclair", "adams", "Etienne",
                              "Zo\xeb", " lead", "B", "b", "Smith"};
const char* const kDates[] = {"20240101", "", "19991231", "20240101", "20230615", "20240229"};
const char* const kNumbers[] = {"7", "0", "-3", "15", "2", "-3", "999", "1.5", "-0.25"};

Bytes craft(const FileDef& file, int i)
{
    Bytes r(std::size_t(file.recordLength), '\0');
    auto* p = reinterpret_cast<unsigned char*>(r.data());
    platform::clearRecord(file, p);
    for (std::size_t j = 0; j < file.fields.size(); ++j) {
        const FieldDef& f = file.fields[j];
        // A different stride per field, so that multi-part keys meet many combinations.
        const std::size_t pick = std::size_t(i) * (j % 5 + 1) + j;
        switch (f.kind) {
        case FieldKind::Text: {
            std::string t = kTexts[pick % std::size(kTexts)];
            // A digit now and then, so unique keys take more than a handful of records.
            if (!t.empty() && i % 3 != 0) t += char('0' + (i / 3) % 10);
            platform::writeField(f, p, t.substr(0, std::size_t(f.size)));
            break;
        }
        case FieldKind::Date:
            platform::writeField(f, p, std::string(kDates[pick % std::size(kDates)]));
            break;
        case FieldKind::Digits: {
            static const char* const digits[] = {"12345678901", "", "00000000001", "12345678901", "9"};
            std::string d = digits[pick % std::size(digits)];
            platform::writeField(f, p, d.substr(0, std::size_t(f.size)));
            break;
        }
        case FieldKind::Packed: {
            Decimal v = i % 3 == 0 ? *Decimal::parse(kNumbers[pick % std::size(kNumbers)])
                                   : Decimal(std::int64_t((i * 37 + int(j) * 11) % 199) - 40);
            if (!platform::writeField(f, p, v)) platform::writeField(f, p, Decimal(v.truncated()));
            break;
        }
        }
    }
    return r;
}

std::vector<Bytes> walk(RecordFile& rf, int order, bool forward)
{
    std::vector<Bytes> got;
    int rc = order == platform::FileOrder ? rf.setFileOrder() : rf.set(order, RecordFile::Start::AtEnds);
    EXPECT_EQ(rc, 0);
    while ((rc = forward ? rf.next() : rf.previous()) == 0)
        got.emplace_back(reinterpret_cast<const char*>(rf.buffer()), std::size_t(rf.def().recordLength));
    EXPECT_EQ(rc, platform::errc::NoRecord);
    return got;
}

// Readable form of a list of records by their key values, for failures.
std::string show(const FileDef& file, const KeyDef& key, const std::vector<Bytes>& records)
{
    std::string s;
    for (const auto& r : records) {
        s += "  " + std::to_string(std::hash<std::string>{}(r) % 1000) + " [";
        for (int i = 0; i < key.count(); ++i) {
            if (i) s += " | ";
            s += data::fieldText(*file.field(key.parts[std::size_t(i)]),
                                 reinterpret_cast<const unsigned char*>(r.data()))
                     .toStdString();
        }
        s += "]\n";
    }
    return s;
}

class EveryFile : public ::testing::TestWithParam<const FileDef*> {};

} // namespace

TEST_P(EveryFile, EachKeyListsTheRecordsInTheOrderItsAttributesCallFor)
{
    const FileDef& file = *GetParam();
    test::TempDir dir;
    std::vector<unsigned char> buffer(std::size_t(file.recordLength));
    RecordFile rf(file, buffer.data());
    rf.setDirectory(dir.path());
    ASSERT_EQ(rf.create(), 0);
    ASSERT_EQ(rf.open(), 0);

    std::vector<Bytes> stored;
    int refused = 0;
    platform::Transaction tx({&rf});  // one commit for all the adds: far quicker than one each
    ASSERT_EQ(tx.start(), 0);
    for (int i = 0; i < 60; ++i) {
        Bytes r = craft(file, i);
        std::copy(r.begin(), r.end(), buffer.begin());
        const bool dup = duplicatesUniqueKey(file, r, stored);
        const int rc = rf.add();
        if (dup) {
            ASSERT_EQ(rc, platform::errc::DuplicateKey) << file.label << " record " << i;
            bool named = false;
            for (std::size_t k = 0; k < file.keys.size(); ++k) named = named || rf.duplicate(int(k));
            EXPECT_TRUE(named) << "duplicate() names no key after 40";
            ++refused;
        } else {
            ASSERT_EQ(rc, 0) << file.label << " record " << i << ": " << rf.errorText();
            stored.push_back(r);
        }
    }
    ASSERT_EQ(tx.commit(), 0);
    ASSERT_GE(stored.size(), 15u);
    if (std::any_of(file.keys.begin(), file.keys.end(), [](const KeyDef& k) { return k.unique(); }))
        EXPECT_GT(refused, 0) << "the crafted records never met a unique key twice";

    EXPECT_EQ(walk(rf, platform::FileOrder, true), stored) << "file order is the order of adding";

    for (std::size_t k = 0; k < file.keys.size(); ++k) {
        const KeyDef& key = file.keys[k];
        const auto expected = expectedOrder(file, key, stored);
        const auto forward = walk(rf, int(k), true);
        EXPECT_EQ(forward, expected) << key.label << "\nexpected:\n"
                                     << show(file, key, expected) << "got:\n"
                                     << show(file, key, forward);
        auto backward = walk(rf, int(k), false);
        std::reverse(backward.begin(), backward.end());
        EXPECT_EQ(backward, expected) << key.label << " walked backward\nexpected:\n"
                                      << show(file, key, expected) << "got (reversed):\n"
                                      << show(file, key, backward);
        if (key.excludesEmpty())
            EXPECT_TRUE(std::none_of(forward.begin(), forward.end(),
                                     [&](const Bytes& r) { return allComponentsEmpty(file, key, r); }))
                << key.label;
    }
}

INSTANTIATE_TEST_SUITE_P(Dictionary, EveryFile, ::testing::ValuesIn(data::file::kAll),
                         [](const auto& info) { return std::string(info.param->label); });

// The cases the layouts single out, spelled out on their own.
TEST(KeyOrders, BlankServiceDatesLeadTheirClaimOrAreLeftOut)
{
    test::TempDir dir;
    data::ItemRecord item{};
    RecordFile rf(data::file::Item, data::bytesOf(item));
    rf.setDirectory(dir.path());
    ASSERT_EQ(rf.create(), 0);
    ASSERT_EQ(rf.open(), 0);
    auto add = [&](int inv, const char* dosf, const char* cpt) {
        platform::clearRecord(data::file::Item, data::bytesOf(item));
        item.PRV.set(Decimal(1));
        item.PAT.set(Decimal(1));
        item.INV.set(Decimal(inv));
        item.DOSF.set(dosf);
        item.CPT.set(cpt);
        ASSERT_EQ(rf.add(), 0);
    };
    add(5, "20240301", "A");
    add(5, "", "BLANK");
    add(5, "20240101", "B");
    add(4, "20240401", "C");

    auto codes = [&](const char* key) {
        std::string s;
        EXPECT_EQ(rf.set(data::file::Item.keyIndex(key), RecordFile::Start::AtEnds), 0);
        while (rf.next() == 0) s += std::string(item.CPT.trimmed()) + " ";
        return s;
    };
    EXPECT_EQ(codes("ITM:INVDOSKEY"), "C BLANK B A ");
    EXPECT_EQ(codes("ITM:INVPATPRVKEY"), "C BLANK B A ");
    EXPECT_EQ(codes("ITM:DOSKEY"), "B A C ") << "an excludes-empty key on the date alone leaves the blank out";
}

TEST(KeyOrders, UniqueCodeTablesRefuseACodeTwiceInAnyCaseQualifierTablesDoNot)
{
    test::TempDir dir;
    data::Cpt48Record cpt{};
    RecordFile codes(data::file::CPT48, data::bytesOf(cpt));
    codes.setDirectory(dir.path());
    ASSERT_EQ(codes.create(), 0);
    ASSERT_EQ(codes.open(), 0);
    cpt.CPTCODE.set("99213a");
    cpt.CPTDESCRIPTION.set("Office visit");
    ASSERT_EQ(codes.add(), 0);
    cpt.CPTCODE.set("99213A");
    EXPECT_EQ(codes.add(), platform::errc::DuplicateKey);
    EXPECT_TRUE(codes.duplicate(data::file::CPT48.keyIndex("CPT:CPTCODEKEY")));
    EXPECT_FALSE(codes.duplicate(data::file::CPT48.keyIndex("CPT:CPTDESCRIPTIONKEY")));

    data::CiqlRecord ciq{};
    RecordFile qualifiers(data::file::CIQL, data::bytesOf(ciq));
    qualifiers.setDirectory(dir.path());
    ASSERT_EQ(qualifiers.create(), 0);
    ASSERT_EQ(qualifiers.open(), 0);
    ciq.CICODE.set("431");
    ciq.CIDESC.set("Onset of Current Symptoms or Illness");
    ASSERT_EQ(qualifiers.add(), 0);
    ASSERT_EQ(qualifiers.add(), 0) << "CIQ:CIKEY allows the same code twice";
}

TEST(KeyOrders, CaseInsensitiveKeysIgnoreTheCaseOfAccentedLettersToo)
{
    // The same folding as locators and everything else: Windows-1252 upper
    // case, in which é and É are one letter.
    test::TempDir dir;
    data::PayerRecord payer{};
    RecordFile payers(data::file::Payer, data::bytesOf(payer));
    payers.setDirectory(dir.path());
    ASSERT_EQ(payers.create(), 0);
    ASSERT_EQ(payers.open(), 0);
    ASSERT_TRUE(data::setText(payer.HICNAME, QStringLiteral("PEÑA HEALTH PLAN"), "HIC:HICNAME"));
    ASSERT_EQ(payers.add(), 0);
    ASSERT_TRUE(data::setText(payer.HICNAME, QStringLiteral("Peña Health Plan"), "HIC:HICNAME"));
    EXPECT_EQ(payers.add(), platform::errc::DuplicateKey) << "HIC:NAMEKEY is unique without regard to case";

    data::PatientRecord patient{};
    RecordFile patients(data::file::Patient, data::bytesOf(patient));
    patients.setDirectory(dir.path());
    ASSERT_EQ(patients.create(), 0);
    ASSERT_EQ(patients.open(), 0);
    for (const char* name : {"\xe9mile", "Zed", "\xc9MILE", "eve"}) {
        platform::clearRecord(data::file::Patient, data::bytesOf(patient));
        patient.LNAME.set(name);
        ASSERT_EQ(patients.add(), 0);
    }
    std::string order;
    ASSERT_EQ(patients.set(data::file::Patient.keyIndex("PAT:LNAMEKEY"), RecordFile::Start::AtEnds), 0);
    while (patients.next() == 0) order += patient.LNAME.toQString().toStdString() + " ";
    EXPECT_EQ(order, "eve Zed émile ÉMILE ");
}
