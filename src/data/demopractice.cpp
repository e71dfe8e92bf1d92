#include "data/demopractice.h"

#include "data/claimtotals.h"
#include "data/democodes.h"
#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "data/standardcodes.h"
#include "platform/dates.h"
#include "platform/filecheck.h"
#include "platform/recordfile.h"
#include "platform/transaction.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <map>
#include <stdexcept>

namespace kestrel::data {

namespace {

using platform::Decimal;
using Image = std::vector<unsigned char>;

// The records of one file, in the order they are added.
struct Table {
    const platform::FileDef* def;
    std::vector<Image> records;
};

template <class Record>
Record blank(const platform::FileDef& def)
{
    Record r;
    clearRecord(def, bytesOf(r));
    return r;
}

template <class Record>
void keep(Table& t, const Record& r)
{
    t.records.emplace_back(bytesOf(r), bytesOf(r) + sizeof r);
}

// Every text of the practice is ours and fits its field and the files'
// character set; one that did not would be a fault of this file, not of the
// user's data, so it is not cut or dropped quietly.
template <int N>
void put(platform::Text<N>& field, std::string_view utf8)
{
    const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    if (text.size() > N || !field.setQString(text))
        throw std::logic_error("sample text does not fit its field: " + std::string(utf8));
}

Decimal cents(long long c) { return Decimal::fromUnits(c, 2); }

// A stored date some days after the given one.
std::string dayAfter(int y, int m, int d, long days = 0)
{
    return platform::dates::storedFromDay(platform::dates::dayFromYmd({y, m, d}) + days);
}

// A national provider identifier with its check digit (Luhn over the
// digits prefixed with 80840), from nine digits.
std::string npi(std::string nine)
{
    const std::string all = "80840" + nine;
    int sum = 0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        int d = all[all.size() - 1 - i] - '0';
        if (i % 2 == 0) d = d * 2 > 9 ? d * 2 - 9 : d * 2;
        sum += d;
    }
    return nine + char('0' + (10 - sum % 10) % 10);
}

struct Person {
    const char* name;  // "Last, First MI"
    char sex;
    int parent = -1;   // a child: index of the insured parent's name in kParents
};

constexpr Person kPatients[] = {
    {"Müller, Jürgen", 'M'},     {"Núñez, María J", 'F'},    {"Anderson, Paul R", 'M'},
    {"Lefèvre, Hélène", 'F'},    {"Okonkwo, Chidi", 'M'},    {"Sørensen, Ingrid", 'F'},
    {"García, José L", 'M'},     {"Kowalski, Anna", 'F'},    {"O'Brien, Siobhán", 'F'},
    {"Nguyen, Thanh", 'M'},      {"Schäfer, Lena", 'F', 0},  {"Patel, Ravi K", 'M'},
    {"Johansson, Björn", 'M'},   {"Rossi, Francesca", 'F'},  {"Hernández, Lucía", 'F', 1},
    {"Thompson, Grace E", 'F'},  {"Dubois, François", 'M'},  {"Kim, Min-jun", 'M'},
    {"Brennan, Caoimhe", 'F'},   {"Weiß, Günter", 'M'},
};
constexpr const char* kParents[] = {"Schäfer, Markus", "Hernández, Andrés"};
constexpr const char* kStreets[] = {"Maple Avenue", "Prairie Road", "Lincoln Street", "Oak Court", "Mill Lane"};

struct Plan {
    const char* name;
    const char* program;  // IN1:INS1PLAN
    const char* plan;     // IN1:PLAN
    const char* address;
    const char* city;
    const char* phone;
};

constexpr Plan kPlans[] = {
    {"Medicare Part B", "1", "Medicare", "PO Box 6710", "Fargo, ND 58108", "800-555-0160"},
    {"State Medicaid", "2", "Medicaid", "PO Box 1820", "Springfield, IL 62705", "800-555-0161"},
    {"Blue Prairie Health", "5", "PPO Choice", "400 Commerce Drive", "Chicago, IL 60601", "800-555-0162"},
    {"Heartland Mutual", "5", "HMO Select", "77 River Plaza", "Peoria, IL 61602", "800-555-0163"},
    {"Union Workers Fund", "7", "Trust Plan", "12 Labor Way", "Decatur, IL 62523", "800-555-0164"},
};

// The two providers; the second bills under its group's name.
struct ProviderSeed {
    const char* name;
    const char* group;
    const char* ein;
    const char* npiBase;
    const char* renderingName;
};
constexpr ProviderSeed kProviders[] = {
    {"Harlow, Maren A MD", "", "37-1234567", "123456789", "Maren A Harlow MD"},
    {"Okafor, Daniel MD", "Riverside Family Medicine", "37-7654321", "987654321", "Daniel Okafor MD"},
};
constexpr const char* kThirdRendering = "Priya Raman PA-C";
constexpr const char* kRenderingNpiBase[] = {"123456789", "987654321", "555012345"};

constexpr const char* kOfficeCity = "Springfield";
constexpr const char* kOfficeState = "IL";

// A visit's service lines: an office visit, then what was done besides.
struct Service {
    const char* cpt;
    long long fee;  // cents
};
constexpr Service kVisits[] = {{"99213", 11500}, {"99214", 16500}, {"99203", 14000}, {"99396", 22000}};
constexpr Service kExtras[] = {{"36415", 1500}, {"85025", 2800}, {"80053", 3900}, {"90686", 3500},
                               {"93000", 4500}, {"87880", 2200}, {"73610", 9000}, {"20610", 12000}};
constexpr const char* kDiagnoses[] = {"I10", "E11.9", "J06.9", "M25.561", "Z00.00", "E78.5", "J45.20", "M54.50", "J02.0", "R05.9"};

constexpr const char* kFacilityIds[] = {"37123456701", "37998877601"};
constexpr const char* kReferringIds[] = {"36111222301", "36444555601", "36777888901", "36222333401"};
constexpr const char* kReferring[] = {"Castellanos, Inés MD", "Whitfield, Roger DO", "Tanaka, Yuki MD", "Fitzgerald, Ann MD"};

class Practice {
public:
    Practice()
    {
        standardAndCodeTables();
        providersAndParties();
        patients();
        claims();
    }
    std::vector<Table> tables() &&
    {
        std::vector<Table> out;
        for (const platform::FileDef* def : file::kAll) out.push_back(std::move(of(*def)));
        return out;
    }

private:
    Table& of(const platform::FileDef& def) { return byFile_.try_emplace(&def, Table{&def, {}}).first->second; }

    void standardAndCodeTables()
    {
        for (const platform::FileDef* def : {&file::ICD, &file::CIQL, &file::OIQL})
            for (const StandardCode& c : standardCodes(*def)) {
                Image img(std::size_t(def->recordLength));
                platform::clearRecord(*def, img.data());
                platform::writeField(def->fields[0], img.data(), std::string(c.code));
                platform::writeField(def->fields[1], img.data(), std::string(c.description));
                of(*def).records.push_back(std::move(img));
            }
        for (const DemoCode& c : demoProcedureCodes()) {
            auto r = blank<Cpt48Record>(file::CPT48);
            put(r.CPTCODE, c.code);
            put(r.CPTDESCRIPTION, c.description);
            procedures_[c.code] = c.description;
            keep(of(file::CPT48), r);
        }
        for (const DemoCode& c : demoDiagnosisCodes()) {
            auto r = blank<Icd48Record>(file::ICD48);
            put(r.ICDCODE, c.code);
            put(r.ICDDES, c.description);
            keep(of(file::ICD48), r);
        }
        for (const Plan& p : kPlans) {
            auto r = blank<PayerRecord>(file::Payer);
            put(r.HICNAME, p.name);
            put(r.HICADD1, p.address);
            put(r.HICADD3, p.city);  // "City State and Zip Code"
            put(r.HICPHONE, p.phone);
            keep(of(file::Payer), r);
        }
    }

    void providersAndParties()
    {
        int n = 0;
        for (const ProviderSeed& s : kProviders) {
            auto r = blank<ProviderRecord>(file::Provider);
            r.PRV.set(Decimal(++n));
            put(r.PNAME, s.name);
            put(r.GNAME, s.group);
            put(r.PADD1, n == 1 ? "210 Main Street, Suite 4" : "1800 Riverside Drive");
            put(r.PADD2, std::string(kOfficeCity) + ", " + kOfficeState + " 62701");
            put(r.PAREACODE, "217");
            put(r.PHONE, n == 1 ? "555-0100" : "555-0120");
            put(r.FAREACODE, "217");
            put(r.FAX, n == 1 ? "555-0101" : "555-0121");
            put(r.BADD1, n == 1 ? "210 Main Street, Suite 4" : "PO Box 1800");
            put(r.BADD2, std::string(kOfficeCity) + ", " + kOfficeState + " 62701");
            put(r.BPAREACODE, "217");
            put(r.BPHONE, n == 1 ? "555-0100" : "555-0122");
            put(r.EIN, s.ein);
            put(r.LIC, n == 1 ? "036-104522" : "036-118830");
            put(r.F33A, npi(s.npiBase));
            put(r.TIDX, "E");
            put(r.GIDX, *s.group ? "G" : "I");
            keep(of(file::Provider), r);
        }
        const char* renderingNames[] = {kProviders[0].renderingName, kProviders[1].renderingName, kThirdRendering};
        for (int i = 0; i < 3; ++i) {
            auto r = blank<RenderingRecord>(file::Rendering);
            put(r.F24J, npi(kRenderingNpiBase[i]));
            put(r.F24JNAME, renderingNames[i]);
            keep(of(file::Rendering), r);
        }
        const char* facilityNames[] = {"Riverside Family Clinic", "St. Brigid Hospital"};
        const char* facilityStreets[] = {"1800 Riverside Drive", "900 East Cathedral Ave"};
        for (int i = 0; i < 2; ++i) {
            auto r = blank<FacilityRecord>(file::Facility);
            put(r.FACILITYID, kFacilityIds[i]);
            put(r.FACILTYNAME, facilityNames[i]);
            put(r.FACILITYADD1, facilityStreets[i]);
            put(r.FACILITYADD2, std::string(kOfficeCity) + ", " + kOfficeState + " 62702");
            put(r.FACILITYNPI, npi(i == 0 ? "246813579" : "135792468"));
            keep(of(file::Facility), r);
        }
        const char* referringNpi[] = {"112233445", "223344556", "334455667", "445566778"};
        for (int i = 0; i < 4; ++i) {
            auto r = blank<ReferringRecord>(file::Referring);
            put(r.F17ID, kReferringIds[i]);
            put(r.F17R, kReferring[i]);
            put(r.F17Q, "DN");
            put(r.F17B, npi(referringNpi[i]));
            keep(of(file::Referring), r);
        }
    }

    static std::string ssn(int i) { return "900" + std::to_string(410000 + i * 1373); }

    void patients()
    {
        for (int i = 0; i < int(std::size(kPatients)); ++i) {
            const Person& p = kPatients[i];
            const bool child = p.parent >= 0;
            auto r = blank<PatientRecord>(file::Patient);
            r.PAT.set(Decimal(i + 1));
            put(r.LNAME, p.name);
            r.BDATE.set(child ? dayAfter(2014 + i % 5, 1 + i % 12, 1 + i % 28) : dayAfter(1944 + (i * 7) % 56, 1 + (i * 5) % 12, 1 + (i * 11) % 28));
            put(r.SEX, std::string(1, p.sex));
            put(r.ADD1, std::to_string(100 + i * 37) + " " + kStreets[i % 5]);
            put(r.ADD2, kOfficeCity);
            put(r.ADD3, kOfficeState);
            put(r.ADD4, std::to_string(62701 + i % 4));
            put(r.HAREA, "217");
            put(r.HPHON, "555-01" + std::to_string(30 + i));
            put(r.SSN, ssn(i));
            patients_.push_back(r);

            auto a = blank<AuthRecord>(file::Auth);
            a.PAT.set(Decimal(i + 1));
            a.AUTHDATE.set(dayAfter(2025, 1, 6, i));
            put(a.AUTHSIGN, "Signature on File");
            keep(of(file::Auth), a);
            coverages(i, r);
        }
    }

    // Each patient's plan billed first; every fourth patient has another plan.
    void coverages(int i, const PatientRecord& pat)
    {
        const Person& p = kPatients[i];
        const bool child = p.parent >= 0;
        const Plan& plan = kPlans[i % 5];
        auto r = blank<Insured1Record>(file::Insured1);
        put(r.INS1ID, ssn(i) + "01");
        put(r.INS1PLAN, plan.program);
        put(r.INS1PATREL2INS, child ? "3" : "1");
        put(r.RSHIP, child ? "Child" : "Self");
        put(r.INS1IDNO, std::string(1, plan.name[0]) + std::to_string(70044000 + i * 211));
        put(r.INS1NAME, child ? kParents[p.parent] : p.name);
        put(r.INS1ADD1, pat.ADD1.toQString().toStdString());
        put(r.INS1ADD2, kOfficeCity);
        put(r.INS1ADD3, kOfficeState);
        put(r.INS1ADD4, pat.ADD4.toQString().toStdString());
        put(r.INS1AREACODE, "217");
        put(r.INS1HPHONE, pat.HPHON.toQString().toStdString());
        put(r.INS1POLICY, "GRP-" + std::to_string(4410 + i % 5));
        r.INS1DOB.set(child ? dayAfter(1982, 3, 14, i) : std::string(pat.BDATE.view()));
        put(r.INS1SEX, child ? "M" : std::string(1, p.sex));
        put(r.INS1CARNAME, plan.name);
        r.INS1CARDATE.set(dayAfter(2025, 1, 1));
        put(r.PLAN, plan.plan);
        keep(of(file::Insured1), r);
        primary_.push_back(ssn(i) + "01");
        if (i % 4 != 0) {
            secondary_.emplace_back();
            return;
        }
        const Plan& other = kPlans[(i + 2) % 5];
        auto o = blank<Insured2Record>(file::Insured2);
        put(o.INS2ID, ssn(i) + "02");
        put(o.INS2PLAN, other.program);
        put(o.INS2PATREL2INS, "1");
        put(o.RSHIP, "Self");
        put(o.INS2IDNO, std::string(1, other.name[0]) + std::to_string(81022000 + i * 97));
        put(o.INS2NAME, p.name);
        put(o.INS2ADD1, pat.ADD1.toQString().toStdString());
        put(o.INS2ADD2, kOfficeCity);
        put(o.INS2ADD3, kOfficeState);
        put(o.INS2ADD4, pat.ADD4.toQString().toStdString());
        o.INS2DOB.set(std::string(pat.BDATE.view()));
        put(o.INS2SEX, std::string(1, p.sex));
        put(o.INS2CARNAME, other.name);
        o.INS2CARDATE.set(dayAfter(2025, 7, 1));
        put(o.PLAN, other.plan);
        keep(of(file::Insured2), o);
        secondary_.push_back(ssn(i) + "02");
    }

    ItemRecord line(const InvoiceRecord& inv, const std::string& day)
    {
        auto l = blank<ItemRecord>(file::Item);
        l.PRV.set(inv.PRV.value());
        l.PAT.set(inv.PAT.value());
        l.INV.set(inv.INV.value());
        l.DOSF.set(day);
        return l;
    }

    ItemRecord service(const InvoiceRecord& inv, const Service& s, const char* pointer, int rendering)
    {
        ItemRecord l = line(inv, std::string(inv.DATE.view()));
        l.DOST.set(std::string(inv.DATE.view()));
        put(l.POS, "11");
        put(l.CPT, s.cpt);
        put(l.DES, procedures_.at(s.cpt));
        put(l.DXL, pointer);
        l.FEE.set(cents(s.fee));
        put(l.QTY, "1");
        put(l.F24J, npi(kRenderingNpiBase[rendering]));
        return l;
    }

    ItemRecord transaction(const InvoiceRecord& inv, TransactionCode code, long long amount, long long adjustment,
                           std::string_view issuedBy, int daysLater)
    {
        const long day = platform::dates::dayFromStored(inv.DATE.view()).value_or(0) + daysLater;
        ItemRecord l = line(inv, platform::dates::storedFromDay(day));
        put(l.CPT, "0000" + std::to_string(int(code)));
        put(l.DES, issuedBy);
        l.FEE.set(cents(-amount));
        l.ADJ.set(cents(-adjustment));
        put(l.EXP, "CHK" + std::to_string(50000 + inv.INV.asInt() * 7));
        return l;
    }

    InvoiceRecord claimHeader(int patient, int number, int prv)
    {
        auto inv = blank<InvoiceRecord>(file::Invoice);
        inv.PRV.set(Decimal(prv + 1));
        inv.PAT.set(Decimal(patient + 1));
        inv.INV.set(Decimal(number));
        inv.DATE.set(dayAfter(2025, 9, 1, number * 4));
        put(inv.F10A, "N");
        put(inv.F10B, "N");
        put(inv.F10C, "N");
        put(inv.F12, "Y");
        put(inv.F13, "Y");
        inv.AUTHDATE.set(dayAfter(2025, 1, 6, patient));
        put(inv.AUTHSIGN, "Signature on File");
        put(inv.F21IND, "0");
        put(inv.F25TIN, kProviders[prv].ein);
        put(inv.F25X, "EIN");
        put(inv.F27, "Y");
        put(inv.F32, kFacilityIds[number % 7 == 0 ? 1 : 0]);
        put(inv.PRIMARY, primary_[std::size_t(patient)]);
        put(inv.SECONDARY, secondary_[std::size_t(patient)]);
        put(secondary_[std::size_t(patient)].empty() ? inv.F11DN : inv.F11DY,
            secondary_[std::size_t(patient)].empty() ? "N" : "Y");
        put(inv.DX1, kDiagnoses[number % 10]);
        put(inv.DX2, kDiagnoses[(number * 3 + 1) % 10]);
        if (number % 3 == 0) {
            put(inv.F17ID, kReferringIds[number % 4]);
            put(inv.F17R, kReferring[number % 4]);
        }
        if (number % 4 == 1) {
            put(inv.F14Q, "431");
            inv.F14A.set(dayAfter(2025, 9, 1, number * 4 - 3));
        }
        return inv;
    }

    // The receivables of a claim, by its number: a sixth are not paid yet,
    // the rest paid by the plan with the contract's adjustment, some also by
    // the patient or the other plan. One claim has a refund and one a
    // write-off of what the patient owed.
    void receivables(const InvoiceRecord& inv, long long charges, const Plan& plan, std::vector<ItemRecord>& lines)
    {
        const int number = int(inv.INV.asInt());
        const int kind = number % 6;
        if (kind == 0) return;
        if (kind == 5) {
            lines.push_back(transaction(inv, TransactionCode::CashPayment, 2500, 0, "Patient copay", 0));
            if (!refunded_) {
                lines.push_back(transaction(inv, TransactionCode::Refund, 1000, 0, "Refund", 30));
                refunded_ = true;
            }
            return;
        }
        const long long allowed = charges * 85 / 100, paid = allowed * 80 / 100, owed = allowed - paid;
        ItemRecord primary = transaction(inv, TransactionCode::PrimaryPayment, paid, charges - allowed, plan.name, 21);
        primary.ALW.set(cents(allowed));
        lines.push_back(primary);
        if (kind == 3) lines.push_back(transaction(inv, TransactionCode::CashPayment, owed, 0, "Patient", 35));
        if (kind == 4 && !inv.SECONDARY.isBlank())
            lines.push_back(transaction(inv, TransactionCode::OtherPayment, owed, 0, kPlans[(inv.PAT.asInt() + 1) % 5].name, 40));
        if (kind == 1 && !writtenOff_) {
            lines.push_back(transaction(inv, TransactionCode::WriteOff, owed, 0, "Write off", 60));
            writtenOff_ = true;
        }
    }

    void claims()
    {
        int number = 0;
        for (int patient = 0; patient < int(patients_.size()); ++patient) {
            Decimal balance = cents(0);
            for (int c = 0; c <= patient % 3; ++c) {
                const int prv = patient % 2;
                InvoiceRecord inv = claimHeader(patient, ++number, prv);
                std::vector<ItemRecord> lines;
                const Service& visit = kVisits[number % 4];
                lines.push_back(service(inv, visit, "A", number % 5 == 2 ? 2 : prv));
                long long charges = visit.fee;
                for (int e = 0; e < number % 3; ++e) {
                    const Service& extra = kExtras[(number + e * 3) % 8];
                    lines.push_back(service(inv, extra, e == 0 ? "AB" : "B", prv));
                    charges += extra.fee;
                }
                receivables(inv, charges, kPlans[patient % 5], lines);
                ClaimFigures figures;
                for (const ItemRecord& l : lines) {
                    figures.add(l);
                    keep(of(file::Item), l);
                }
                inv.TFEE.set(figures.charges);
                inv.TPAY.set(figures.payments);
                inv.TADJ.set(figures.adjustments);
                setBalanceDue(inv);
                balance = money(balance + inv.BDUE.value());
                keep(of(file::Invoice), inv);
            }
            patients_[std::size_t(patient)].NOWBALAN.set(balance);
            keep(of(file::Patient), patients_[std::size_t(patient)]);
        }
    }

    std::map<const platform::FileDef*, Table> byFile_;
    std::map<std::string, std::string> procedures_;
    std::vector<PatientRecord> patients_;
    std::vector<std::string> primary_, secondary_;
    bool refunded_ = false, writtenOff_ = false;
};

} // namespace

namespace {

QString labelOf(const platform::FileDef& def) { return QString::fromLatin1(def.label.data(), qsizetype(def.label.size())); }

// The records the file holds, or -1 (with the reason in *problem) when it
// cannot be examined. A missing file holds none and is not created.
long long recordsHeld(const platform::FileDef& def, QString* problem)
{
    const QString path = QDir(dataDirectory()).filePath(QString::fromLatin1(def.fileName.data(), qsizetype(def.fileName.size())));
    if (!QFileInfo::exists(path)) return 0;
    const platform::FileCheck c = platform::checkRecordFile(def, path);
    if (!c.sound()) {
        *problem = labelOf(def) + QStringLiteral(": ") + c.problems.join(QStringLiteral("; "));
        return -1;
    }
    FileUse use{&def};
    platform::RecordFile& rf = recordFile(def);
    long long n = 0;
    int err = rf.setFileOrder();
    while (err == 0 && (err = rf.next()) == 0) ++n;
    if (err != platform::errc::NoRecord) {
        *problem = labelOf(def) + QStringLiteral(": the records could not be read");
        return -1;
    }
    return n;
}

// Adds the table's records in one transaction: all of them or none.
bool write(const Table& t)
{
    FileUse use{t.def};
    platform::RecordFile& rf = recordFile(*t.def);
    unsigned char* buffer = fileByLabel(t.def->label)->bytes;
    platform::Transaction tr{&rf};
    if (tr.start() != 0) {
        captureError(tr);
        standardMessage(MessageNo::TransactionFramingError, QStringLiteral("Update"), labelOf(*t.def));
        return false;
    }
    for (const Image& img : t.records) {
        std::copy(img.begin(), img.end(), buffer);
        if (rf.add() != 0) {
            captureError(tr);
            standardMessage(MessageNo::RecordInsertError);
            return false;
        }
    }
    if (tr.commit() != 0) {
        standardMessage(MessageNo::RecordInsertError);
        return false;
    }
    return true;
}

// Takes out again what write() added to a file that was empty before.
void empty(const platform::FileDef& def)
{
    FileUse use{&def};
    platform::RecordFile& rf = recordFile(def);
    platform::Transaction tr{&rf};
    if (tr.start() != 0) return;
    while (rf.setFileOrder() == 0 && rf.next() == 0)
        if (rf.remove() != 0) return;
    tr.commit();
}

// The shared record buffers as they were before the load.
class KeptBuffers {
public:
    KeptBuffers()
    {
        for (const FileBuffer& fb : allFiles()) kept_.emplace_back(fb.bytes, fb.bytes + fb.def->recordLength);
    }
    ~KeptBuffers()
    {
        std::size_t i = 0;
        for (const FileBuffer& fb : allFiles()) std::copy(kept_[i].begin(), kept_[i].end(), fb.bytes), ++i;
    }
    KeptBuffers(const KeptBuffers&) = delete;
    KeptBuffers& operator=(const KeptBuffers&) = delete;

private:
    std::vector<Image> kept_;
};

} // namespace

bool dataDirectoryIsEmpty()
{
    KeptBuffers kept;
    QString problem;
    return std::all_of(std::begin(file::kAll), std::end(file::kAll),
                       [&](const platform::FileDef* def) { return recordsHeld(*def, &problem) == 0; });
}

DemoLoad loadDemoPractice()
{
    DemoLoad out;
    KeptBuffers kept;
    bool damaged = false;
    for (const platform::FileDef* def : file::kAll) {
        QString problem;
        const long long n = recordsHeld(*def, &problem);
        damaged = damaged || n < 0;
        if (n < 0) out.problems << problem;
        else if (n > 0) out.problems << QStringLiteral("%1 holds %2 record%3").arg(labelOf(*def)).arg(n).arg(n == 1 ? "" : "s");
    }
    if (!out.problems.isEmpty()) {
        out.result = damaged ? DemoLoad::Result::Failed : DemoLoad::Result::NotEmpty;
        return out;
    }
    std::vector<Table> tables;
    try {
        tables = Practice().tables();
    } catch (const std::logic_error& e) {
        out.problems << QString::fromUtf8(e.what());
        return out;
    }
    for (std::size_t i = 0; i < tables.size(); ++i) {
        if (write(tables[i])) {
            out.added.emplace_back(labelOf(*tables[i].def), int(tables[i].records.size()));
            continue;
        }
        for (std::size_t j = 0; j < i; ++j) empty(*tables[j].def);
        out.problems << labelOf(*tables[i].def) + QStringLiteral(": the records could not be added");
        out.added.clear();
        out.result = DemoLoad::Result::Failed;
        return out;
    }
    out.result = DemoLoad::Result::Loaded;
    return out;
}

} // namespace kestrel::data
