#pragma once
// The data dictionary: the sixteen record files of the system, their fields
// and keys, and the one shared record buffer of each file.
//
// The record layouts are a persisted format. A record's bytes are its fields
// laid end to end, in the order given, with no padding; every width, offset,
// number of places and key component below binds. Everything that works on
// records generically (the driver's columns, CSV dump/load, filter
// expressions, the browse engine) reads these descriptions; code that works
// on one file uses the typed buffers (`PAT.LNAME`, `INV.BDUE`).
//
// The buffers are global and shared by every procedure and thread as plain
// variables: procedures hand the current record to one another through them.

#include "platform/fields.h"
#include "platform/fieldvalue.h"
#include "platform/recorddef.h"

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>

class QString;

namespace kestrel::data {

namespace file {

namespace def {
using platform::FieldDef;
using platform::FieldKind;
using platform::KeyDef;
using enum platform::KeyFlag;

// One call per table row: label, width (bytes for packed), places, offset.
constexpr FieldDef text(std::string_view label, int width, int offset)
{
    return {label, FieldKind::Text, width, 0, offset};
}
constexpr FieldDef date(std::string_view label, int offset)
{
    return {label, FieldKind::Date, 8, 0, offset};
}
constexpr FieldDef digits(std::string_view label, int width, int offset)
{
    return {label, FieldKind::Digits, width, 0, offset};
}
constexpr FieldDef packed(std::string_view label, int bytes, int places, int offset)
{
    return {label, FieldKind::Packed, bytes, places, offset};
}

// Attribute sets as the key tables name them.
inline constexpr unsigned kUniquePrimary = Unique | NoCase | ExcludesEmpty | Primary;
inline constexpr unsigned kUnique = Unique | NoCase | ExcludesEmpty;
inline constexpr unsigned kDup = NoCase | ExcludesEmpty;             // duplicates; case-insensitive; excludes empty
inline constexpr unsigned kDupCase = ExcludesEmpty;                  // duplicates; case-sensitive; excludes empty
inline constexpr unsigned kDupWithEmpty = NoCase;                    // duplicates; case-insensitive; includes empty

// ---------------------------------------------------------------- Provider
inline constexpr FieldDef kProviderFields[] = {
    packed("PRV:PRV", 2, 0, 0),
    packed("PRV:CN", 6, 0, 2),
    text("PRV:PNAME", 29, 8),
    text("PRV:GNAME", 29, 37),
    text("PRV:PADD1", 29, 66),
    text("PRV:PADD2", 29, 95),
    text("PRV:PAREACODE", 3, 124),
    text("PRV:PHONE", 8, 127),
    text("PRV:FAREACODE", 3, 135),
    text("PRV:FAX", 8, 138),
    text("PRV:BADD1", 29, 146),
    text("PRV:BADD2", 29, 175),
    text("PRV:BPAREACODE", 3, 204),
    text("PRV:BPHONE", 8, 207),
    text("PRV:BFAREACODE", 3, 215),
    text("PRV:BFAX", 8, 218),
    text("PRV:EIN", 15, 226),
    text("PRV:SSN", 15, 241),
    text("PRV:LIC", 10, 256),
    text("PRV:F33A", 10, 266),
    text("PRV:F33B1", 2, 276),
    text("PRV:F33B2", 17, 278),
    text("PRV:TIDX", 1, 295),
    text("PRV:GIDX", 1, 296),
};
inline constexpr KeyDef kProviderKeys[] = {
    {"PRV:PRVKEY", {"PRV:PRV"}, kUniquePrimary},
    {"PRV:LNAMEKEY", {"PRV:PNAME"}, kDup},
};

// ----------------------------------------------------------------- Patient
inline constexpr FieldDef kPatientFields[] = {
    packed("PAT:PAT", 3, 0, 0),
    text("PAT:LNAME", 28, 3),
    date("PAT:BDATE", 31),
    text("PAT:SEX", 1, 39),
    text("PAT:ADD1", 28, 40),
    text("PAT:ADD2", 24, 68),
    text("PAT:ADD3", 3, 92),
    text("PAT:ADD4", 12, 95),
    text("PAT:HAREA", 3, 107),
    text("PAT:HPHON", 8, 110),
    text("PAT:WAREA", 3, 118),
    text("PAT:WPHON", 8, 121),
    digits("PAT:SSN", 9, 129),
    packed("PAT:NOWBALAN", 10, 2, 138),
};
inline constexpr KeyDef kPatientKeys[] = {
    {"PAT:PATKEY", {"PAT:PAT"}, kUniquePrimary},
    {"PAT:LNAMEKEY", {"PAT:LNAME"}, kDup},
};

// ---------------------------------------------------------------- Insured1
inline constexpr FieldDef kInsured1Fields[] = {
    digits("IN1:INS1ID", 11, 0),
    text("IN1:INS1PLAN", 1, 11),
    text("IN1:INS1PATREL2INS", 1, 12),
    text("IN1:INS1IDNO", 29, 13),
    text("IN1:INS1NAME", 29, 42),
    text("IN1:INS1ADD1", 29, 71),
    text("IN1:INS1ADD2", 23, 100),
    text("IN1:INS1ADD3", 4, 123),
    text("IN1:INS1ADD4", 12, 127),
    text("IN1:INS1AREACODE", 3, 139),
    text("IN1:INS1HPHONE", 10, 142),
    text("IN1:INS1POLICY", 29, 152),
    date("IN1:INS1DOB", 181),
    text("IN1:INS1SEX", 1, 189),
    text("IN1:INS1CARNAME", 28, 190),
    date("IN1:INS1CARDATE", 218),
    date("IN1:INS1CARTERM", 226),
    text("IN1:PLAN", 20, 234),
    text("IN1:RSHIP", 10, 254),
    text("IN1:INS1F11B", 2, 264),
    text("IN1:INS1F11B1", 29, 266),
};
inline constexpr KeyDef kInsured1Keys[] = {
    {"IN1:INS1IDKEY", {"IN1:INS1ID"}, kUnique},
    {"IN1:INS1CARNAMEKEY", {"IN1:INS1CARNAME"}, kDupCase},
    {"IN1:INS1LNAMEKEY", {"IN1:INS1NAME"}, kDup},
};

// ---------------------------------------------------------------- Insured2
inline constexpr FieldDef kInsured2Fields[] = {
    digits("IN2:INS2ID", 11, 0),
    text("IN2:INS2PLAN", 1, 11),
    text("IN2:INS2PATREL2INS", 1, 12),
    text("IN2:INS2IDNO", 29, 13),
    text("IN2:INS2NAME", 28, 42),
    text("IN2:INS2ADD1", 29, 70),
    text("IN2:INS2ADD2", 23, 99),
    text("IN2:INS2ADD3", 4, 122),
    text("IN2:INS2ADD4", 12, 126),
    text("IN2:INS2AREACODE", 3, 138),
    text("IN2:INS2HPHONE", 10, 141),
    text("IN2:INS2POLICY", 28, 151),
    date("IN2:INS2DOB", 179),
    text("IN2:INS2SEX", 1, 187),
    text("IN2:INS2CARNAME", 28, 188),
    date("IN2:INS2CARDATE", 216),
    date("IN2:INS2CARTERM", 224),
    text("IN2:PLAN", 20, 232),
    text("IN2:RSHIP", 10, 252),
    text("IN2:INS2F9B", 28, 262),
    text("IN2:INS2F9C", 28, 290),
};
inline constexpr KeyDef kInsured2Keys[] = {
    {"IN2:INS2IDKEY", {"IN2:INS2ID"}, kUnique},
    {"IN2:INS2CARNAMERKEY", {"IN2:INS2CARNAME"}, kDupCase},
    {"IN2:INS2LNAMEKEY", {"IN2:INS2NAME"}, kDup},
};

// ------------------------------------------------------------------- Payer
inline constexpr FieldDef kPayerFields[] = {
    text("HIC:HICNAME", 41, 0),
    text("HIC:HICADD1", 41, 41),
    text("HIC:HICADD2", 41, 82),
    text("HIC:HICADD3", 41, 123),
    text("HIC:HICPHONE", 12, 164),
    text("HIC:HICFAX", 12, 176),
};
inline constexpr KeyDef kPayerKeys[] = {
    {"HIC:NAMEKEY", {"HIC:HICNAME"}, kUnique},
};

// -------------------------------------------------------------------- Auth
inline constexpr FieldDef kAuthFields[] = {
    packed("AUT:PAT", 3, 0, 0),
    date("AUT:AUTHDATE", 3),
    text("AUT:AUTHSIGN", 32, 11),
};
inline constexpr KeyDef kAuthKeys[] = {
    {"AUT:PATKEY", {"AUT:PAT"}, kDup},
    {"AUT:PATAUTHDATEKEY", {"AUT:PAT", "AUT:AUTHDATE"}, kDup},
};

// ---------------------------------------------------------------- Facility
inline constexpr FieldDef kFacilityFields[] = {
    text("FAC:FACILITYID", 11, 0),
    text("FAC:FACILTYNAME", 26, 11),
    text("FAC:FACILITYADD1", 26, 37),
    text("FAC:FACILITYADD2", 26, 63),
    text("FAC:FACILITYNPI", 10, 89),
    text("FAC:FACILITYQLN", 2, 99),
    text("FAC:FACILITYNNPI", 14, 101),
};
inline constexpr KeyDef kFacilityKeys[] = {
    {"FAC:FACILITYIDKEY", {"FAC:FACILITYID"}, kUnique},
    {"FAC:FACILITYNAMEKEY", {"FAC:FACILTYNAME", "FAC:FACILITYID"}, kDupCase},
};

// --------------------------------------------------------------- Referring
inline constexpr FieldDef kReferringFields[] = {
    text("REF:F17ID", 11, 0),
    text("REF:F17R", 24, 11),
    text("REF:F17Q", 2, 35),
    text("REF:F17AQ", 2, 37),
    text("REF:F17A", 17, 39),
    text("REF:F17B", 10, 56),
};
inline constexpr KeyDef kReferringKeys[] = {
    {"REF:F17RNAME", {"REF:F17R"}, kDup},
    {"REF:F17IDREF", {"REF:F17ID"}, kDup},
};

// --------------------------------------------------------------- Rendering
inline constexpr FieldDef kRenderingFields[] = {
    text("REN:F24J", 10, 0),
    text("REN:F24JNAME", 40, 10),
    text("REN:F24JQ", 2, 50),
    text("REN:F24JNNPI", 11, 52),
};
inline constexpr KeyDef kRenderingKeys[] = {
    {"REN:F24JKEY", {"REN:F24J"}, kDup},
    {"REN:F24JREN", {"REN:F24JNAME"}, kDup},
};

// ----------------------------------------------------------------- Invoice
inline constexpr FieldDef kInvoiceFields[] = {
    packed("INV:PRV", 2, 0, 0),
    packed("INV:PAT", 3, 0, 2),
    packed("INV:INV", 5, 0, 5),
    date("INV:DATE", 10),
    text("INV:F8A", 19, 18),
    text("INV:F8B", 19, 37),
    text("INV:F10A", 1, 56),
    text("INV:F10B", 1, 57),
    text("INV:F10BPLACE", 2, 58),
    text("INV:F10C", 1, 60),
    text("INV:F10D", 19, 61),
    text("INV:F11DY", 1, 80),
    text("INV:F11DN", 1, 81),
    text("INV:F12", 1, 82),
    date("INV:AUTHDATE", 83),
    text("INV:AUTHSIGN", 32, 91),
    text("INV:F13", 1, 123),
    text("INV:F14Q", 3, 124),
    date("INV:F14A", 127),
    text("INV:F14B", 9, 135),
    text("INV:F15Q", 3, 144),
    date("INV:F15", 147),
    text("INV:F17ID", 11, 155),
    text("INV:F17R", 24, 166),
    text("INV:F19", 48, 190),
    text("INV:F21IND", 1, 238),
    text("INV:F22CODE", 11, 239),
    text("INV:F22REF", 18, 250),
    text("INV:F23", 29, 268),
    text("INV:F25TIN", 15, 297),
    text("INV:F25X", 3, 312),
    text("INV:F27", 1, 315),
    digits("INV:F32", 11, 316),
    packed("INV:TFEE", 10, 2, 327),
    packed("INV:TADJ", 10, 2, 337),
    packed("INV:TPAY", 10, 2, 347),
    packed("INV:BDUE", 10, 2, 357),
    digits("INV:PRIMARY", 11, 367),
    digits("INV:SECONDARY", 11, 378),
    text("INV:DX1", 7, 389),
    text("INV:DX2", 7, 396),
    text("INV:DX3", 7, 403),
    text("INV:DX4", 7, 410),
    text("INV:DX5", 7, 417),
    text("INV:DX6", 7, 424),
    text("INV:DX7", 7, 431),
    text("INV:DX8", 7, 438),
    text("INV:DX9", 7, 445),
    text("INV:DX10", 7, 452),
    text("INV:DX11", 7, 459),
    text("INV:DX12", 7, 466),
    date("INV:HSOFROM", 473),
    date("INV:HSPTO", 481),
    date("INV:WCFROM", 489),
    date("INV:WCTO", 497),
    text("INV:OUTLAB", 1, 505),
    packed("INV:LABCHARGE", 4, 2, 506),
};
inline constexpr KeyDef kInvoiceKeys[] = {
    {"INV:PRVKEY", {"INV:PRV"}, kDup},
    {"INV:ICDV", {"INV:F21IND"}, kDup},
    {"INV:PATKEY", {"INV:PAT"}, kDup},
    {"INV:INVKEY", {"INV:INV"}, kUniquePrimary},
    {"INV:F14QKEY", {"INV:F14Q"}, kDup},
    {"INV:F15QKEY", {"INV:F15Q"}, kDup},
    {"INV:REFERRALKEY", {"INV:F17ID"}, kDup},
    {"INV:FACILITYKEY", {"INV:F32"}, kDup},
    {"INV:PRIMARYKEY", {"INV:PRIMARY"}, kDup},
    {"INV:SECONDARYKEY", {"INV:SECONDARY"}, kDup},
    {"INV:PATAUTHDATEKEY", {"INV:PAT", "INV:AUTHDATE"}, kDup},
    {"INV:PATPRVINVKEY", {"INV:PAT", "INV:PRV", "INV:INV"}, kDupWithEmpty},
    {"INV:PATPRVDATEKEY", {"INV:PRV", "INV:PAT", "INV:DATE"}, kDupWithEmpty},
    {"INV:DATEKEY", {"INV:DATE"}, kDup},
};

// -------------------------------------------------------------------- Item
inline constexpr FieldDef kItemFields[] = {
    packed("ITM:PRV", 2, 0, 0),
    packed("ITM:PAT", 4, 0, 2),
    packed("ITM:INV", 4, 0, 6),
    date("ITM:DOSF", 10),
    date("ITM:DOST", 18),
    text("ITM:POS", 2, 26),
    text("ITM:EMG", 2, 28),
    text("ITM:CPT", 7, 30),
    text("ITM:MOD1", 2, 37),
    text("ITM:MOD2", 2, 39),
    text("ITM:MOD3", 2, 41),
    text("ITM:MOD4", 2, 43),
    text("ITM:DES", 48, 45),
    text("ITM:DXL", 8, 93),
    packed("ITM:FEE", 5, 2, 101),
    text("ITM:QTY", 3, 106),
    text("ITM:EPSDTS", 2, 109),
    text("ITM:EPSDTU", 1, 111),
    text("ITM:NPI", 11, 112),
    packed("ITM:ALW", 5, 2, 123),
    packed("ITM:ADJ", 5, 2, 128),
    packed("ITM:DED", 5, 2, 133),
    packed("ITM:NONCOV", 5, 2, 138),
    packed("ITM:COB", 5, 2, 143),
    text("ITM:EXP", 24, 148),
    text("ITM:F24J", 10, 172),
};
inline constexpr KeyDef kItemKeys[] = {
    {"ITM:PRVKEY", {"ITM:PRV"}, kDup},
    {"ITM:F24JKEY", {"ITM:F24J"}, kDup},
    {"ITM:INVDOSKEY", {"ITM:INV", "ITM:DOSF"}, kDupCase},
    {"ITM:PATPRVDOSKEY", {"ITM:PAT", "ITM:PRV", "ITM:DOSF"}, kDup},
    {"ITM:DOSKEY", {"ITM:DOSF"}, kDup},
    {"ITM:INVPATPRVKEY", {"ITM:PRV", "ITM:PAT", "ITM:INV", "ITM:DOSF"}, kDup},
};

// ------------------------------------------------------------------- CPT48
inline constexpr FieldDef kCpt48Fields[] = {
    text("CPT:CPTCODE", 7, 0),
    text("CPT:CPTDESCRIPTION", 48, 7),
};
inline constexpr KeyDef kCpt48Keys[] = {
    {"CPT:CPTCODEKEY", {"CPT:CPTCODE"}, kUnique},
    {"CPT:CPTDESCRIPTIONKEY", {"CPT:CPTDESCRIPTION", "CPT:CPTCODE"}, kDup},
};

// ------------------------------------------------------------------- ICD48
inline constexpr FieldDef kIcd48Fields[] = {
    text("ICD:ICDCODE", 7, 0),
    text("ICD:ICDDES", 48, 7),
};
inline constexpr KeyDef kIcd48Keys[] = {
    {"ICD:ICDCODEKEY", {"ICD:ICDCODE"}, kUnique},
    {"ICD:ICDDESKEY", {"ICD:ICDDES", "ICD:ICDCODE"}, kDup},
};

// --------------------------------------------------------------------- ICD
inline constexpr FieldDef kIcdFields[] = {
    text("ICDM:ICDV", 1, 0),
    text("ICDM:ICDM", 12, 1),
};
inline constexpr KeyDef kIcdKeys[] = {
    {"ICDM:ICDVKEY", {"ICDM:ICDV"}, kDup},
};

// -------------------------------------------------------------------- CIQL
inline constexpr FieldDef kCiqlFields[] = {
    text("CIQ:CICODE", 3, 0),
    text("CIQ:CIDESC", 128, 3),
};
inline constexpr KeyDef kCiqlKeys[] = {
    {"CIQ:CIKEY", {"CIQ:CICODE"}, kDup},
    {"CIQ:CIDESCKEY", {"CIQ:CIDESC"}, kDup},
};

// -------------------------------------------------------------------- OIQL
inline constexpr FieldDef kOiqlFields[] = {
    text("OIQ:OICODE", 3, 0),
    text("OIQ:OIDESC", 128, 3),
};
inline constexpr KeyDef kOiqlKeys[] = {
    {"OIQ:OICODEKEY", {"OIQ:OICODE"}, kDup},
    {"OIQ:OIDESCKEY", {"OIQ:OIDESC"}, kDup},
};

} // namespace def

using platform::FileDef;

//                                label        prefix  file name        length  fields                   keys
inline constexpr FileDef Provider{"Provider", "PRV", "Provider.dat", 297, def::kProviderFields, def::kProviderKeys};
inline constexpr FileDef Patient{"Patient", "PAT", "Patient.db", 148, def::kPatientFields, def::kPatientKeys};
inline constexpr FileDef Insured1{"Insured1", "IN1", "Insured1.db", 295, def::kInsured1Fields, def::kInsured1Keys};
inline constexpr FileDef Insured2{"Insured2", "IN2", "Insured2.db", 318, def::kInsured2Fields, def::kInsured2Keys};
inline constexpr FileDef Payer{"Payer", "HIC", "Payer.db", 188, def::kPayerFields, def::kPayerKeys};
inline constexpr FileDef Auth{"Auth", "AUT", "Auth.db", 43, def::kAuthFields, def::kAuthKeys};
inline constexpr FileDef Facility{"Facility", "FAC", "Facility.db", 115, def::kFacilityFields, def::kFacilityKeys};
inline constexpr FileDef Referring{"Referring", "REF", "Referring.db", 66, def::kReferringFields, def::kReferringKeys};
inline constexpr FileDef Rendering{"Rendering", "REN", "Rendering.db", 63, def::kRenderingFields, def::kRenderingKeys};
inline constexpr FileDef Invoice{"Invoice", "INV", "Invoice.db", 510, def::kInvoiceFields, def::kInvoiceKeys};
inline constexpr FileDef Item{"Item", "ITM", "Item.db", 182, def::kItemFields, def::kItemKeys};
inline constexpr FileDef CPT48{"CPT48", "CPT", "Cpt48.db", 55, def::kCpt48Fields, def::kCpt48Keys};
inline constexpr FileDef ICD48{"ICD48", "ICD", "Icd48.db", 55, def::kIcd48Fields, def::kIcd48Keys};
inline constexpr FileDef ICD{"ICD", "ICDM", "ICD.db", 13, def::kIcdFields, def::kIcdKeys};
inline constexpr FileDef CIQL{"CIQL", "CIQ", "CIQL.db", 131, def::kCiqlFields, def::kCiqlKeys};
inline constexpr FileDef OIQL{"OIQL", "OIQ", "OIQL.db", 131, def::kOiqlFields, def::kOiqlKeys};

// Every file, in the order the layouts are listed.
inline constexpr const FileDef* kAll[] = {&Provider, &Patient, &Insured1, &Insured2, &Payer, &Auth,
                                          &Facility, &Referring, &Rendering, &Invoice, &Item, &CPT48,
                                          &ICD48, &ICD, &CIQL, &OIQL};

} // namespace file

// ------------------------------------------------------------ record buffers
// One struct per file, members named after the fields. Every member type has
// alignment 1, so the struct is the record byte for byte (checked below).

using platform::DateText;
using platform::Digits;
using platform::Packed;
using platform::Text;

struct ProviderRecord {
    Packed<2, 0> PRV;
    Packed<6, 0> CN;
    Text<29> PNAME;
    Text<29> GNAME;
    Text<29> PADD1;
    Text<29> PADD2;
    Text<3> PAREACODE;
    Text<8> PHONE;
    Text<3> FAREACODE;
    Text<8> FAX;
    Text<29> BADD1;
    Text<29> BADD2;
    Text<3> BPAREACODE;
    Text<8> BPHONE;
    Text<3> BFAREACODE;
    Text<8> BFAX;
    Text<15> EIN;
    Text<15> SSN;
    Text<10> LIC;
    Text<10> F33A;
    Text<2> F33B1;
    Text<17> F33B2;
    Text<1> TIDX;
    Text<1> GIDX;
};

struct PatientRecord {
    Packed<3, 0> PAT;
    Text<28> LNAME;
    DateText BDATE;
    Text<1> SEX;
    Text<28> ADD1;
    Text<24> ADD2;
    Text<3> ADD3;
    Text<12> ADD4;
    Text<3> HAREA;
    Text<8> HPHON;
    Text<3> WAREA;
    Text<8> WPHON;
    Digits<9> SSN;
    Packed<10, 2> NOWBALAN;
};

struct Insured1Record {
    Digits<11> INS1ID;
    Text<1> INS1PLAN;
    Text<1> INS1PATREL2INS;
    Text<29> INS1IDNO;
    Text<29> INS1NAME;
    Text<29> INS1ADD1;
    Text<23> INS1ADD2;
    Text<4> INS1ADD3;
    Text<12> INS1ADD4;
    Text<3> INS1AREACODE;
    Text<10> INS1HPHONE;
    Text<29> INS1POLICY;
    DateText INS1DOB;
    Text<1> INS1SEX;
    Text<28> INS1CARNAME;
    DateText INS1CARDATE;
    DateText INS1CARTERM;
    Text<20> PLAN;
    Text<10> RSHIP;
    Text<2> INS1F11B;
    Text<29> INS1F11B1;
};

struct Insured2Record {
    Digits<11> INS2ID;
    Text<1> INS2PLAN;
    Text<1> INS2PATREL2INS;
    Text<29> INS2IDNO;
    Text<28> INS2NAME;
    Text<29> INS2ADD1;
    Text<23> INS2ADD2;
    Text<4> INS2ADD3;
    Text<12> INS2ADD4;
    Text<3> INS2AREACODE;
    Text<10> INS2HPHONE;
    Text<28> INS2POLICY;
    DateText INS2DOB;
    Text<1> INS2SEX;
    Text<28> INS2CARNAME;
    DateText INS2CARDATE;
    DateText INS2CARTERM;
    Text<20> PLAN;
    Text<10> RSHIP;
    Text<28> INS2F9B;
    Text<28> INS2F9C;
};

struct PayerRecord {
    Text<41> HICNAME;
    Text<41> HICADD1;
    Text<41> HICADD2;
    Text<41> HICADD3;
    Text<12> HICPHONE;
    Text<12> HICFAX;
};

struct AuthRecord {
    Packed<3, 0> PAT;
    DateText AUTHDATE;
    Text<32> AUTHSIGN;
};

struct FacilityRecord {
    Text<11> FACILITYID;
    Text<26> FACILTYNAME;
    Text<26> FACILITYADD1;
    Text<26> FACILITYADD2;
    Text<10> FACILITYNPI;
    Text<2> FACILITYQLN;
    Text<14> FACILITYNNPI;
};

struct ReferringRecord {
    Text<11> F17ID;
    Text<24> F17R;
    Text<2> F17Q;
    Text<2> F17AQ;
    Text<17> F17A;
    Text<10> F17B;
};

struct RenderingRecord {
    Text<10> F24J;
    Text<40> F24JNAME;
    Text<2> F24JQ;
    Text<11> F24JNNPI;
};

struct InvoiceRecord {
    Packed<2, 0> PRV;
    Packed<3, 0> PAT;
    Packed<5, 0> INV;
    DateText DATE;
    Text<19> F8A;
    Text<19> F8B;
    Text<1> F10A;
    Text<1> F10B;
    Text<2> F10BPLACE;
    Text<1> F10C;
    Text<19> F10D;
    Text<1> F11DY;
    Text<1> F11DN;
    Text<1> F12;
    DateText AUTHDATE;
    Text<32> AUTHSIGN;
    Text<1> F13;
    Text<3> F14Q;
    DateText F14A;
    Text<9> F14B;
    Text<3> F15Q;
    DateText F15;
    Text<11> F17ID;
    Text<24> F17R;
    Text<48> F19;
    Text<1> F21IND;
    Text<11> F22CODE;
    Text<18> F22REF;
    Text<29> F23;
    Text<15> F25TIN;
    Text<3> F25X;
    Text<1> F27;
    Digits<11> F32;
    Packed<10, 2> TFEE;
    Packed<10, 2> TADJ;
    Packed<10, 2> TPAY;
    Packed<10, 2> BDUE;
    Digits<11> PRIMARY;
    Digits<11> SECONDARY;
    Text<7> DX1;
    Text<7> DX2;
    Text<7> DX3;
    Text<7> DX4;
    Text<7> DX5;
    Text<7> DX6;
    Text<7> DX7;
    Text<7> DX8;
    Text<7> DX9;
    Text<7> DX10;
    Text<7> DX11;
    Text<7> DX12;
    DateText HSOFROM;
    DateText HSPTO;
    DateText WCFROM;
    DateText WCTO;
    Text<1> OUTLAB;
    Packed<4, 2> LABCHARGE;
};

struct ItemRecord {
    Packed<2, 0> PRV;
    Packed<4, 0> PAT;
    Packed<4, 0> INV;
    DateText DOSF;
    DateText DOST;
    Text<2> POS;
    Text<2> EMG;
    Text<7> CPT;
    Text<2> MOD1;
    Text<2> MOD2;
    Text<2> MOD3;
    Text<2> MOD4;
    Text<48> DES;
    Text<8> DXL;
    Packed<5, 2> FEE;
    Text<3> QTY;
    Text<2> EPSDTS;
    Text<1> EPSDTU;
    Text<11> NPI;
    Packed<5, 2> ALW;
    Packed<5, 2> ADJ;
    Packed<5, 2> DED;
    Packed<5, 2> NONCOV;
    Packed<5, 2> COB;
    Text<24> EXP;
    Text<10> F24J;
};

struct Cpt48Record {
    Text<7> CPTCODE;
    Text<48> CPTDESCRIPTION;
};

struct Icd48Record {
    Text<7> ICDCODE;
    Text<48> ICDDES;
};

struct IcdRecord {
    Text<1> ICDV;
    Text<12> ICDM;
};

struct CiqlRecord {
    Text<3> CICODE;
    Text<128> CIDESC;
};

struct OiqlRecord {
    Text<3> OICODE;
    Text<128> OIDESC;
};

// The shared buffers, named by the files' prefixes.
extern ProviderRecord PRV;
extern PatientRecord PAT;
extern Insured1Record IN1;
extern Insured2Record IN2;
extern PayerRecord HIC;
extern AuthRecord AUT;
extern FacilityRecord FAC;
extern ReferringRecord REF;
extern RenderingRecord REN;
extern InvoiceRecord INV;
extern ItemRecord ITM;
extern Cpt48Record CPT;
extern Icd48Record ICD;
extern IcdRecord ICDM;
extern CiqlRecord CIQ;
extern OiqlRecord OIQ;

// A buffer's bytes, for the driver and the generic engines.
template <class Record>
unsigned char* bytesOf(Record& r)
{
    return reinterpret_cast<unsigned char*>(&r);
}
template <class Record>
const unsigned char* bytesOf(const Record& r)
{
    return reinterpret_cast<const unsigned char*>(&r);
}

// ------------------------------------------------------------------ registry

struct FileBuffer {
    const platform::FileDef* def;
    unsigned char* bytes;  // the shared buffer, def->recordLength bytes
};

// The sixteen files with their shared buffers, in dictionary order.
std::span<const FileBuffer> allFiles();
// By label ("Patient") or by prefix ("PAT"), letter case ignored; null when unknown.
const FileBuffer* fileByLabel(std::string_view label);
const FileBuffer* fileByPrefix(std::string_view prefix);

struct FieldRef {
    const FileBuffer* file;
    const platform::FieldDef* field;
    unsigned char* record() const { return file->bytes; }
};
// A field of any buffer by its full label ("INV:PAT"), letter case ignored
// and blanks around it ignored.
std::optional<FieldRef> findField(std::string_view label);

// Text fields to spaces, decimals to zero, in every buffer (program start).
void clearAllBuffers();
// The same for one record (a buffer or a copy of one): platform's own, so
// that data::clearRecord and an unqualified call name one function.
using platform::clearRecord;

// ------------------------------------------------------- values as text
// The text form of field values at the program's edges (CSV, messages):
// text without its trailing blanks, converted from Windows-1252; a date as
// mm/dd/yyyy, empty when blank; digit text as stored; a decimal with all
// of its places ("-15.50", "7").
QString fieldText(const platform::FieldDef& f, const unsigned char* record);

// What to do with a text longer than its field: the record layout cuts it
// (the rule of every assignment); an import refuses it so that nothing is
// lost without a word.
enum class Overlong { Cut, Refuse };

// Stores `text` into the field, converting it to the field's kind: text to
// Windows-1252; a date given as mm/dd/yyyy or yyyymmdd (empty for no date);
// digit text of digits only; a decimal as a plain number (empty is 0).
// Refused, with the record unchanged and a message in *error that begins
// with the field's label ("PAT:BDATE: ..."): a character Windows-1252 cannot
// hold (named with its code point), a malformed or impossible date, a number
// too large for the field or with too many decimals, digit text with other
// characters, and an overlong text when `overlong` is Refuse.
bool setFieldText(const platform::FieldDef& f, unsigned char* record, const QString& text,
                  QString* error = nullptr, Overlong overlong = Overlong::Cut);

// A value quoted in a message: "Smith"; one longer than kQuotedLength
// characters is cut there with an ellipsis ("Smithsonian…"), so that a
// stray 60 MB cell does not make a 60 MB message.
inline constexpr qsizetype kQuotedLength = 60;
QString quoted(const QString& value);

// The message for a character that Windows-1252 cannot hold:
// 'The character "Ω" (U+03A9) cannot be stored in PAT:LNAME.'
QString unstorableCharacterMessage(const QString& character, std::string_view fieldLabel);

// Assigns a text to a typed buffer member, refusing what Windows-1252 cannot
// hold with the message above (the member is then unchanged).
template <int N>
bool setText(Text<N>& member, const QString& text, std::string_view fieldLabel, QString* error = nullptr)
{
    QString bad;
    if (member.setQString(text, &bad)) return true;
    if (error) *error = unstorableCharacterMessage(bad, fieldLabel);
    return false;
}

// ------------------------------------------------------------ static checks
namespace detail {

template <class T>
struct MemberKind;
template <int N>
struct MemberKind<Text<N>> {
    static constexpr platform::FieldKind kind = platform::FieldKind::Text;
    static constexpr int places = 0;
};
template <>
struct MemberKind<DateText> {
    static constexpr platform::FieldKind kind = platform::FieldKind::Date;
    static constexpr int places = 0;
};
template <int N>
struct MemberKind<Digits<N>> {
    static constexpr platform::FieldKind kind = platform::FieldKind::Digits;
    static constexpr int places = 0;
};
template <int B, int P>
struct MemberKind<Packed<B, P>> {
    static constexpr platform::FieldKind kind = platform::FieldKind::Packed;
    static constexpr int places = P;
};

// The member named `name`, found at `offset` in its struct, is the field of
// that name in the dictionary: same offset, width, kind and places.
template <class Member>
constexpr bool memberMatches(const platform::FileDef& f, std::string_view name, std::size_t offset)
{
    for (const auto& fd : f.fields)
        if (fd.name() == name)
            return std::size_t(fd.offset) == offset && std::size_t(fd.size) == sizeof(Member) &&
                   fd.kind == MemberKind<Member>::kind && fd.places == MemberKind<Member>::places;
    return false;
}

constexpr bool labelHasPrefix(std::string_view label, std::string_view prefix)
{
    return label.size() > prefix.size() + 1 && label.substr(0, prefix.size()) == prefix &&
           label[prefix.size()] == ':';
}

// Every field and key label starts with the file's prefix and a colon, so
// that a label names one file unambiguously.
constexpr bool labelsCarryPrefix(const platform::FileDef& f)
{
    for (const auto& fd : f.fields)
        if (!labelHasPrefix(fd.label, f.prefix)) return false;
    for (const auto& k : f.keys)
        if (!labelHasPrefix(k.label, f.prefix)) return false;
    return true;
}

} // namespace detail

} // namespace kestrel::data
