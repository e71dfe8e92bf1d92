#include "data/records.h"

#include <QString>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

using namespace kestrel;
using data::FieldRef;
using platform::Decimal;

namespace {

std::string stored(const FieldRef& r)
{
    return std::string(reinterpret_cast<const char*>(r.record() + r.field->offset), std::size_t(r.field->size));
}

FieldRef field(std::string_view label)
{
    auto r = data::findField(label);
    EXPECT_TRUE(r) << label;
    return *r;
}

} // namespace

TEST(Dictionary, EveryFileAndFieldIsFoundByItsNamesInAnyCase)
{
    ASSERT_EQ(data::allFiles().size(), 16u);
    std::set<std::string_view> names, prefixes, fieldLabels, keyLabels;
    for (const auto& fb : data::allFiles()) {
        names.insert(fb.def->fileName);
        prefixes.insert(fb.def->prefix);
        EXPECT_EQ(data::fileByLabel(QString::fromLatin1(fb.def->label).toLower().toStdString()), &fb);
        EXPECT_EQ(data::fileByPrefix(fb.def->prefix), &fb);
        for (const auto& f : fb.def->fields) {
            EXPECT_TRUE(fieldLabels.insert(f.label).second) << f.label;
            auto r = data::findField(QString::fromLatin1(f.label).toLower().toStdString());
            ASSERT_TRUE(r) << f.label;
            EXPECT_EQ(r->field, &f);
            EXPECT_EQ(r->record(), fb.bytes);
        }
        for (const auto& k : fb.def->keys) EXPECT_TRUE(keyLabels.insert(k.label).second) << k.label;
    }
    EXPECT_EQ(names.size(), 16u);
    EXPECT_EQ(prefixes.size(), 16u);

    // ICD and ICDM are different files although one prefix begins the other.
    EXPECT_EQ(field("ICD:ICDCODE").file->def, &data::file::ICD48);
    EXPECT_EQ(field("ICDM:ICDV").file->def, &data::file::ICD);
    EXPECT_EQ(field(" inv:pat ").field->offset, 2);

    EXPECT_FALSE(data::findField("INV:NOSUCH"));
    EXPECT_FALSE(data::findField("XYZ:PAT"));
    EXPECT_FALSE(data::findField("PAT"));
    EXPECT_FALSE(data::findField("PAT:LNAME:X"));
    EXPECT_EQ(data::fileByLabel("Patients"), nullptr);
    EXPECT_EQ(data::fileByLabel("Cpt48")->def, &data::file::CPT48);
}

TEST(Dictionary, TypedMembersAndGenericAccessShareTheBufferBytes)
{
    data::PAT.LNAME.set("SMITH, JOHN");
    EXPECT_EQ(std::get<std::string>(platform::readField(*field("PAT:LNAME").field, data::bytesOf(data::PAT))),
              "SMITH, JOHN");

    ASSERT_TRUE(platform::writeField(*field("INV:BDUE").field, data::bytesOf(data::INV), Decimal::fromUnits(-1550, 2)));
    EXPECT_EQ(data::INV.BDUE.value().toString(), "-15.50");

    // Item's patient number is one byte wider than the claim's (the buffer
    // starts blank: other tests of this run leave a line in it).
    platform::clearRecord(data::file::Item, data::bytesOf(data::ITM));
    data::ITM.PAT.set(Decimal(1234567));
    EXPECT_EQ(field("ITM:PAT").field->size, 4);
    EXPECT_EQ(data::ITM.INV.value(), Decimal(0)) << "a neighbouring field was overwritten";
    EXPECT_TRUE(data::ITM.DOSF.isBlank());
}

TEST(Dictionary, ClearingEveryBufferGivesBlankTextAndZeroNumbers)
{
    for (const auto& fb : data::allFiles()) std::memset(fb.bytes, 0x5A, std::size_t(fb.def->recordLength));
    data::clearAllBuffers();
    for (const auto& fb : data::allFiles())
        for (const auto& f : fb.def->fields) {
            EXPECT_TRUE(platform::fieldIsEmpty(f, fb.bytes)) << f.label;
            if (f.kind != platform::FieldKind::Packed)
                EXPECT_EQ(std::string(reinterpret_cast<char*>(fb.bytes + f.offset), std::size_t(f.size)),
                          std::string(std::size_t(f.size), ' '))
                    << f.label;
        }
    EXPECT_EQ(data::PAT.PAT.asInt(), 0);
    EXPECT_EQ(data::PRV.PRV.raw[1] & 0x0F, 0x0C) << "zero is stored with a positive sign";
    EXPECT_EQ(data::fieldText(*field("INV:DATE").field, data::bytesOf(data::INV)), "");
}

TEST(Encoding, LettersOfWindows1252AreKeptOneBytePerCharacter)
{
    QString error;
    ASSERT_TRUE(data::setText(data::PAT.LNAME, QStringLiteral("Peña, Zoë"), "PAT:LNAME", &error)) << error.toStdString();
    EXPECT_EQ(data::PAT.LNAME.trimmed(), "Pe\xf1" "a, Zo\xeb");
    EXPECT_EQ(data::PAT.LNAME.toQString(), QStringLiteral("Peña, Zoë"));
    EXPECT_EQ(data::fieldText(*field("PAT:LNAME").field, data::bytesOf(data::PAT)), QStringLiteral("Peña, Zoë"));

    // A width counts characters: 28 letters with accents fill PAT:LNAME exactly.
    QString full(28, QChar(0x00E9));
    ASSERT_TRUE(data::setFieldText(*field("PAT:LNAME").field, data::bytesOf(data::PAT), full, &error,
                                   data::Overlong::Refuse));
    EXPECT_EQ(data::PAT.LNAME.toQString(), full);
    // The euro sign and curly quotes live in the 0x80..0x9F block.
    ASSERT_TRUE(data::setText(data::ITM.DES, QStringLiteral("€5 “paid”"), "ITM:DES"));
    EXPECT_EQ(data::ITM.DES.trimmed(), "\x80" "5 \x93paid\x94");
}

TEST(Encoding, CharactersOutsideWindows1252AreRefusedNamingCharacterAndField)
{
    data::PAT.LNAME.set("KEPT");
    QString error;
    EXPECT_FALSE(data::setText(data::PAT.LNAME, QStringLiteral("Ωmega"), "PAT:LNAME", &error));
    EXPECT_EQ(error, QStringLiteral("The character \"Ω\" (U+03A9) cannot be stored in PAT:LNAME."));
    EXPECT_EQ(data::PAT.LNAME.trimmed(), "KEPT");

    // A character outside the basic plane is named whole, never half a surrogate pair.
    EXPECT_FALSE(data::setFieldText(*field("PAT:LNAME").field, data::bytesOf(data::PAT),
                                    QStringLiteral("Zoë 😀"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("\"😀\" (U+1F600)"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("PAT:LNAME")));
    EXPECT_EQ(data::PAT.LNAME.trimmed(), "KEPT");
}

TEST(FieldText, ConvertsEachKindAndRefusesWhatDoesNotFit)
{
    auto* rec = data::bytesOf(data::INV);
    platform::clearRecord(data::file::Invoice, rec);
    QString error;
    auto set = [&](std::string_view label, const QString& text, data::Overlong o = data::Overlong::Cut) {
        error.clear();
        return data::setFieldText(*field(label).field, rec, text, &error, o);
    };
    auto text = [&](std::string_view label) { return data::fieldText(*field(label).field, rec); };

    // Dates: mm/dd/yyyy, m/d/yyyy or yyyymmdd in, mm/dd/yyyy out, blank for none.
    EXPECT_TRUE(set("INV:DATE", "2/29/2024"));
    EXPECT_EQ(data::INV.DATE.trimmed(), "20240229");
    EXPECT_EQ(text("INV:DATE"), "02/29/2024");
    EXPECT_TRUE(set("INV:F15", "19991231"));
    EXPECT_EQ(text("INV:F15"), "12/31/1999");
    for (const char* bad : {"02/30/2024", "2/29/2023", "13/01/2020", "20240230", "2024-01-01", "1/1/24", "yesterday"}) {
        EXPECT_FALSE(set("INV:DATE", bad)) << bad;
        EXPECT_TRUE(error.startsWith("INV:DATE: ")) << error.toStdString();
    }
    EXPECT_EQ(data::INV.DATE.trimmed(), "20240229") << "a refused date changed the record";
    EXPECT_TRUE(set("INV:DATE", " "));
    EXPECT_TRUE(data::INV.DATE.isBlank());

    // Numbers: the field's capacity and places bind.
    EXPECT_TRUE(set("INV:BDUE", "-15.5"));
    EXPECT_EQ(text("INV:BDUE"), "-15.50");
    EXPECT_TRUE(set("INV:INV", "7"));
    EXPECT_EQ(text("INV:INV"), "7");
    EXPECT_TRUE(set("INV:INV", "123456789"));
    EXPECT_FALSE(set("INV:INV", "1234567890"));
    EXPECT_TRUE(error.contains("INV:INV")) << error.toStdString();
    EXPECT_FALSE(set("INV:LABCHARGE", "1.005"));
    EXPECT_FALSE(set("INV:BDUE", "12abc"));
    EXPECT_EQ(text("INV:BDUE"), "-15.50");
    EXPECT_EQ(text("INV:INV"), "123456789");
    EXPECT_TRUE(set("INV:TFEE", ""));
    EXPECT_EQ(text("INV:TFEE"), "0.00");

    // Digit text: exactly the field's count of digits, or nothing. A number
    // short of a digit (a leading zero lost in a spreadsheet) is refused, not
    // stored as another number.
    EXPECT_TRUE(set("INV:PRIMARY", "12345678901"));
    EXPECT_FALSE(set("INV:PRIMARY", "123456789012"));
    EXPECT_FALSE(set("INV:PRIMARY", "123-45-6789"));
    EXPECT_FALSE(set("INV:PRIMARY", "1234567890"));
    EXPECT_TRUE(error.contains("11 digits")) << error.toStdString();
    EXPECT_EQ(text("INV:PRIMARY"), "12345678901");
    EXPECT_TRUE(set("INV:PRIMARY", ""));
    EXPECT_EQ(text("INV:PRIMARY"), "");

    // Text longer than its field: cut by assignment, refused by an import.
    EXPECT_TRUE(set("INV:F25X", "EINX"));
    EXPECT_EQ(text("INV:F25X"), "EIN");
    EXPECT_FALSE(set("INV:F25X", "SSNX", data::Overlong::Refuse));
    EXPECT_TRUE(set("INV:F25X", "SSN   ", data::Overlong::Refuse)) << "trailing blanks are padding";
    EXPECT_EQ(text("INV:F25X"), "SSN");
}
