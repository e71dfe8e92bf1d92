#include "data/records.h"

#include <cstddef>

namespace kestrel::data {

// ------------------------------------------------------------ static checks
// Each file: its description is laid end to end and fills the record; its
// labels carry the prefix; the buffer struct has the record's length; the
// field and key counts are those of the layout tables. Each field: the struct
// member of that name sits at the field's offset with its width and kind.

#define KESTREL_CHECK_FILE(REC, FILE, LENGTH, FIELDS, KEYS)                                  \
    static_assert(platform::layoutIsConsistent(file::FILE), #FILE ": layout");              \
    static_assert(detail::labelsCarryPrefix(file::FILE), #FILE ": labels");                 \
    static_assert(file::FILE.recordLength == (LENGTH) && sizeof(REC) == (LENGTH),           \
                  #FILE ": record length");                                                 \
    static_assert(alignof(REC) == 1, #FILE ": buffer alignment");                           \
    static_assert(file::FILE.fields.size() == (FIELDS), #FILE ": field count");             \
    static_assert(file::FILE.keys.size() == (KEYS), #FILE ": key count")

#define KESTREL_CHECK_FIELD(REC, FILE, NAME)                                                 \
    static_assert(detail::memberMatches<decltype(REC::NAME)>(file::FILE, #NAME, offsetof(REC, NAME)), \
                  #FILE ": field " #NAME)

// Provider: 297 bytes, 24 fields, 2 keys.
KESTREL_CHECK_FILE(ProviderRecord, Provider, 297, 24, 2);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, PRV);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, CN);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, PNAME);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, GNAME);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, PADD1);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, PADD2);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, PAREACODE);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, PHONE);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, FAREACODE);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, FAX);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, BADD1);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, BADD2);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, BPAREACODE);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, BPHONE);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, BFAREACODE);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, BFAX);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, EIN);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, SSN);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, LIC);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, F33A);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, F33B1);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, F33B2);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, TIDX);
KESTREL_CHECK_FIELD(ProviderRecord, Provider, GIDX);

// Patient: 148 bytes, 14 fields, 2 keys.
KESTREL_CHECK_FILE(PatientRecord, Patient, 148, 14, 2);
KESTREL_CHECK_FIELD(PatientRecord, Patient, PAT);
KESTREL_CHECK_FIELD(PatientRecord, Patient, LNAME);
KESTREL_CHECK_FIELD(PatientRecord, Patient, BDATE);
KESTREL_CHECK_FIELD(PatientRecord, Patient, SEX);
KESTREL_CHECK_FIELD(PatientRecord, Patient, ADD1);
KESTREL_CHECK_FIELD(PatientRecord, Patient, ADD2);
KESTREL_CHECK_FIELD(PatientRecord, Patient, ADD3);
KESTREL_CHECK_FIELD(PatientRecord, Patient, ADD4);
KESTREL_CHECK_FIELD(PatientRecord, Patient, HAREA);
KESTREL_CHECK_FIELD(PatientRecord, Patient, HPHON);
KESTREL_CHECK_FIELD(PatientRecord, Patient, WAREA);
KESTREL_CHECK_FIELD(PatientRecord, Patient, WPHON);
KESTREL_CHECK_FIELD(PatientRecord, Patient, SSN);
KESTREL_CHECK_FIELD(PatientRecord, Patient, NOWBALAN);

// Insured1: 295 bytes, 21 fields, 3 keys.
KESTREL_CHECK_FILE(Insured1Record, Insured1, 295, 21, 3);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1ID);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1PLAN);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1PATREL2INS);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1IDNO);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1NAME);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1ADD1);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1ADD2);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1ADD3);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1ADD4);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1AREACODE);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1HPHONE);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1POLICY);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1DOB);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1SEX);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1CARNAME);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1CARDATE);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1CARTERM);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, PLAN);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, RSHIP);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1F11B);
KESTREL_CHECK_FIELD(Insured1Record, Insured1, INS1F11B1);

// Insured2: 318 bytes, 21 fields, 3 keys.
KESTREL_CHECK_FILE(Insured2Record, Insured2, 318, 21, 3);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2ID);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2PLAN);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2PATREL2INS);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2IDNO);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2NAME);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2ADD1);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2ADD2);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2ADD3);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2ADD4);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2AREACODE);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2HPHONE);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2POLICY);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2DOB);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2SEX);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2CARNAME);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2CARDATE);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2CARTERM);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, PLAN);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, RSHIP);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2F9B);
KESTREL_CHECK_FIELD(Insured2Record, Insured2, INS2F9C);

// Payer: 188 bytes, 6 fields, 1 keys.
KESTREL_CHECK_FILE(PayerRecord, Payer, 188, 6, 1);
KESTREL_CHECK_FIELD(PayerRecord, Payer, HICNAME);
KESTREL_CHECK_FIELD(PayerRecord, Payer, HICADD1);
KESTREL_CHECK_FIELD(PayerRecord, Payer, HICADD2);
KESTREL_CHECK_FIELD(PayerRecord, Payer, HICADD3);
KESTREL_CHECK_FIELD(PayerRecord, Payer, HICPHONE);
KESTREL_CHECK_FIELD(PayerRecord, Payer, HICFAX);

// Auth: 43 bytes, 3 fields, 2 keys.
KESTREL_CHECK_FILE(AuthRecord, Auth, 43, 3, 2);
KESTREL_CHECK_FIELD(AuthRecord, Auth, PAT);
KESTREL_CHECK_FIELD(AuthRecord, Auth, AUTHDATE);
KESTREL_CHECK_FIELD(AuthRecord, Auth, AUTHSIGN);

// Facility: 115 bytes, 7 fields, 2 keys.
KESTREL_CHECK_FILE(FacilityRecord, Facility, 115, 7, 2);
KESTREL_CHECK_FIELD(FacilityRecord, Facility, FACILITYID);
KESTREL_CHECK_FIELD(FacilityRecord, Facility, FACILTYNAME);
KESTREL_CHECK_FIELD(FacilityRecord, Facility, FACILITYADD1);
KESTREL_CHECK_FIELD(FacilityRecord, Facility, FACILITYADD2);
KESTREL_CHECK_FIELD(FacilityRecord, Facility, FACILITYNPI);
KESTREL_CHECK_FIELD(FacilityRecord, Facility, FACILITYQLN);
KESTREL_CHECK_FIELD(FacilityRecord, Facility, FACILITYNNPI);

// Referring: 66 bytes, 6 fields, 2 keys.
KESTREL_CHECK_FILE(ReferringRecord, Referring, 66, 6, 2);
KESTREL_CHECK_FIELD(ReferringRecord, Referring, F17ID);
KESTREL_CHECK_FIELD(ReferringRecord, Referring, F17R);
KESTREL_CHECK_FIELD(ReferringRecord, Referring, F17Q);
KESTREL_CHECK_FIELD(ReferringRecord, Referring, F17AQ);
KESTREL_CHECK_FIELD(ReferringRecord, Referring, F17A);
KESTREL_CHECK_FIELD(ReferringRecord, Referring, F17B);

// Rendering: 63 bytes, 4 fields, 2 keys.
KESTREL_CHECK_FILE(RenderingRecord, Rendering, 63, 4, 2);
KESTREL_CHECK_FIELD(RenderingRecord, Rendering, F24J);
KESTREL_CHECK_FIELD(RenderingRecord, Rendering, F24JNAME);
KESTREL_CHECK_FIELD(RenderingRecord, Rendering, F24JQ);
KESTREL_CHECK_FIELD(RenderingRecord, Rendering, F24JNNPI);

// Invoice: 510 bytes, 57 fields, 14 keys.
KESTREL_CHECK_FILE(InvoiceRecord, Invoice, 510, 57, 14);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, PRV);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, PAT);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, INV);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DATE);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F8A);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F8B);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F10A);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F10B);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F10BPLACE);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F10C);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F10D);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F11DY);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F11DN);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F12);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, AUTHDATE);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, AUTHSIGN);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F13);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F14Q);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F14A);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F14B);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F15Q);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F15);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F17ID);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F17R);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F19);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F21IND);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F22CODE);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F22REF);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F23);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F25TIN);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F25X);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F27);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, F32);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, TFEE);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, TADJ);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, TPAY);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, BDUE);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, PRIMARY);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, SECONDARY);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX1);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX2);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX3);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX4);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX5);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX6);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX7);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX8);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX9);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX10);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX11);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, DX12);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, HSOFROM);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, HSPTO);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, WCFROM);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, WCTO);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, OUTLAB);
KESTREL_CHECK_FIELD(InvoiceRecord, Invoice, LABCHARGE);

// Item: 182 bytes, 26 fields, 6 keys.
KESTREL_CHECK_FILE(ItemRecord, Item, 182, 26, 6);
KESTREL_CHECK_FIELD(ItemRecord, Item, PRV);
KESTREL_CHECK_FIELD(ItemRecord, Item, PAT);
KESTREL_CHECK_FIELD(ItemRecord, Item, INV);
KESTREL_CHECK_FIELD(ItemRecord, Item, DOSF);
KESTREL_CHECK_FIELD(ItemRecord, Item, DOST);
KESTREL_CHECK_FIELD(ItemRecord, Item, POS);
KESTREL_CHECK_FIELD(ItemRecord, Item, EMG);
KESTREL_CHECK_FIELD(ItemRecord, Item, CPT);
KESTREL_CHECK_FIELD(ItemRecord, Item, MOD1);
KESTREL_CHECK_FIELD(ItemRecord, Item, MOD2);
KESTREL_CHECK_FIELD(ItemRecord, Item, MOD3);
KESTREL_CHECK_FIELD(ItemRecord, Item, MOD4);
KESTREL_CHECK_FIELD(ItemRecord, Item, DES);
KESTREL_CHECK_FIELD(ItemRecord, Item, DXL);
KESTREL_CHECK_FIELD(ItemRecord, Item, FEE);
KESTREL_CHECK_FIELD(ItemRecord, Item, QTY);
KESTREL_CHECK_FIELD(ItemRecord, Item, EPSDTS);
KESTREL_CHECK_FIELD(ItemRecord, Item, EPSDTU);
KESTREL_CHECK_FIELD(ItemRecord, Item, NPI);
KESTREL_CHECK_FIELD(ItemRecord, Item, ALW);
KESTREL_CHECK_FIELD(ItemRecord, Item, ADJ);
KESTREL_CHECK_FIELD(ItemRecord, Item, DED);
KESTREL_CHECK_FIELD(ItemRecord, Item, NONCOV);
KESTREL_CHECK_FIELD(ItemRecord, Item, COB);
KESTREL_CHECK_FIELD(ItemRecord, Item, EXP);
KESTREL_CHECK_FIELD(ItemRecord, Item, F24J);

// CPT48: 55 bytes, 2 fields, 2 keys.
KESTREL_CHECK_FILE(Cpt48Record, CPT48, 55, 2, 2);
KESTREL_CHECK_FIELD(Cpt48Record, CPT48, CPTCODE);
KESTREL_CHECK_FIELD(Cpt48Record, CPT48, CPTDESCRIPTION);

// ICD48: 55 bytes, 2 fields, 2 keys.
KESTREL_CHECK_FILE(Icd48Record, ICD48, 55, 2, 2);
KESTREL_CHECK_FIELD(Icd48Record, ICD48, ICDCODE);
KESTREL_CHECK_FIELD(Icd48Record, ICD48, ICDDES);

// ICD: 13 bytes, 2 fields, 1 keys.
KESTREL_CHECK_FILE(IcdRecord, ICD, 13, 2, 1);
KESTREL_CHECK_FIELD(IcdRecord, ICD, ICDV);
KESTREL_CHECK_FIELD(IcdRecord, ICD, ICDM);

// CIQL: 131 bytes, 2 fields, 2 keys.
KESTREL_CHECK_FILE(CiqlRecord, CIQL, 131, 2, 2);
KESTREL_CHECK_FIELD(CiqlRecord, CIQL, CICODE);
KESTREL_CHECK_FIELD(CiqlRecord, CIQL, CIDESC);

// OIQL: 131 bytes, 2 fields, 2 keys.
KESTREL_CHECK_FILE(OiqlRecord, OIQL, 131, 2, 2);
KESTREL_CHECK_FIELD(OiqlRecord, OIQL, OICODE);
KESTREL_CHECK_FIELD(OiqlRecord, OIQL, OIDESC);
#undef KESTREL_CHECK_FIELD
#undef KESTREL_CHECK_FILE

static_assert(std::size(file::kAll) == 16);

// ------------------------------------------------------------------ buffers

ProviderRecord PRV;
PatientRecord PAT;
Insured1Record IN1;
Insured2Record IN2;
PayerRecord HIC;
AuthRecord AUT;
FacilityRecord FAC;
ReferringRecord REF;
RenderingRecord REN;
InvoiceRecord INV;
ItemRecord ITM;
Cpt48Record CPT;
Icd48Record ICD;
IcdRecord ICDM;
CiqlRecord CIQ;
OiqlRecord OIQ;

namespace {

const FileBuffer kBuffers[] = {
    {&file::Provider, bytesOf(PRV)}, {&file::Patient, bytesOf(PAT)},   {&file::Insured1, bytesOf(IN1)},
    {&file::Insured2, bytesOf(IN2)}, {&file::Payer, bytesOf(HIC)},     {&file::Auth, bytesOf(AUT)},
    {&file::Facility, bytesOf(FAC)}, {&file::Referring, bytesOf(REF)}, {&file::Rendering, bytesOf(REN)},
    {&file::Invoice, bytesOf(INV)},  {&file::Item, bytesOf(ITM)},      {&file::CPT48, bytesOf(CPT)},
    {&file::ICD48, bytesOf(ICD)},    {&file::ICD, bytesOf(ICDM)},      {&file::CIQL, bytesOf(CIQ)},
    {&file::OIQL, bytesOf(OIQ)},
};
static_assert(std::size(kBuffers) == std::size(file::kAll));

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// A buffer that nobody has cleared yet must still read as an empty record
// (blank text, zero numbers), not as NUL bytes that no field can hold.
[[maybe_unused]] const bool kClearedAtLoad = (clearAllBuffers(), true);

} // namespace

std::span<const FileBuffer> allFiles() { return kBuffers; }

const FileBuffer* fileByLabel(std::string_view label)
{
    label = trimmed(label);
    for (const auto& fb : kBuffers)
        if (platform::FileDef::equalsNoCase(fb.def->label, label)) return &fb;
    return nullptr;
}

const FileBuffer* fileByPrefix(std::string_view prefix)
{
    prefix = trimmed(prefix);
    for (const auto& fb : kBuffers)
        if (platform::FileDef::equalsNoCase(fb.def->prefix, prefix)) return &fb;
    return nullptr;
}

std::optional<FieldRef> findField(std::string_view label)
{
    label = trimmed(label);
    auto colon = label.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    const FileBuffer* fb = fileByPrefix(label.substr(0, colon));
    if (!fb) return std::nullopt;
    const platform::FieldDef* f = fb->def->field(label);
    if (!f) return std::nullopt;
    return FieldRef{fb, f};
}

void clearAllBuffers()
{
    for (const auto& fb : kBuffers) platform::clearRecord(*fb.def, fb.bytes);
}

} // namespace kestrel::data
