#include "claims/claimform.h"

#include "claims/claimrules.h"
#include "claims/claimsession.h"
#include "claims/lookups.h"
#include "data/claimtotals.h"
#include "data/file_access.h"
#include "data/integrity.h"
#include "data/messages.h"
#include "platform/picture.h"
#include "platform/recordfile.h"
#include "shell/browselist.h"
#include "shell/callprotocol.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>

#include <cstring>
#include <optional>

namespace kestrel::claims {

using namespace shell;
using rules::CodeTable;
using rules::kBrowseTip;

namespace {

// ------------------------------------------------------------ shown lines

// "City State Zip" of an address, each part clipped, one blank between.
QString cityLine(const QString& city, const QString& state, const QString& zip)
{
    return (city.trimmed() + QLatin1Char(' ') + state.trimmed() + QLatin1Char(' ') + zip.trimmed()).left(36);
}

// A field of the claim's patient, as the form looked it up (into a buffer
// of its own: the caller may be editing the Patient buffer).
QString patientField(const char* field)
{
    const ClaimSession* s = claimSession();
    return s && s->engine ? s->engine->text(QLatin1String(field)) : QString();
}

// ----------------------------------------------------------------- refresh

// Every related record, in this order, blank when not on file (the patient
// is looked up by the form itself, before these); then the
// service list follows the claim key (its fill recomputes the total).
void refreshRelated(FormContext& f)
{
    auto byKey = [&](const char* keyField, const char* claimField, const platform::FileDef& file, const char* key) {
        f.set(QLatin1String(keyField), f.text(QLatin1String(claimField)));
        lookUp(file, key);
    };
    byKey("ICDM:ICDV", "INV:F21IND", data::file::ICD, "ICDM:ICDVKEY");
    byKey("OIQ:OICODE", "INV:F15Q", data::file::OIQL, "OIQ:OICODEKEY");
    byKey("CIQ:CICODE", "INV:F14Q", data::file::CIQL, "CIQ:CIKEY");
    byKey("REF:F17ID", "INV:F17ID", data::file::Referring, "REF:F17IDREF");
    byKey("FAC:FACILITYID", "INV:F32", data::file::Facility, "FAC:FACILITYIDKEY");
    byKey("PRV:PRV", "INV:PRV", data::file::Provider, "PRV:PRVKEY");
    byKey("IN1:INS1ID", "INV:PRIMARY", data::file::Insured1, "IN1:INS1IDKEY");
    byKey("IN2:INS2ID", "INV:SECONDARY", data::file::Insured2, "IN2:INS2IDKEY");
    if (ClaimSession* s = claimSession(); s && s->list) s->list->refresh();
}

// Rules that close the form abandon a new claim first: its placeholder and
// any lines already added go in one transaction.
FieldRule abandoning(FieldRule rule)
{
    return [rule](FormContext& f) {
        const Verdict v = rule(f);
        const ClaimSession* s = claimSession();
        if (v == Verdict::CloseCancelled && f.request() == Request::Insert && s && s->reserved > 0)
            abandonNewClaim(s->reserved, s->addedLines);
        return v;
    };
}


// ------------------------------------------------------------------- tabs

FormControl browseField(const QString& prompt, data::FieldName field, const char* picture, LookupRule lookup)
{
    return entry(prompt, field, QLatin1String(picture)).tip(kBrowseTip).ditto().lookup(std::move(lookup));
}

FormControl codeField(const QString& prompt, data::FieldName field, const char* picture, CodeTable table)
{
    return browseField(prompt, field, picture, rules::chooseCode(table)).accepting(rules::codeOnFile(table));
}

std::vector<FormControl> diagnosisEntries()
{
    std::vector<FormControl> out;
    for (int k = 0; k < 12; ++k) {
        const QString letter = QString(QChar(u'A' + k)) + QLatin1Char('.');
        const auto field = data::FieldName::named(QStringLiteral("INV:DX%1").arg(k + 1).toStdString());
        FormControl c = codeField(letter, field, "@s7", CodeTable::Diagnosis)
                            .tip(QStringLiteral("%1 related diagnosis").arg(letter));
        out.push_back(k % 4 == 0 ? c : c.beside());
    }
    return out;
}

std::vector<FormControl> headerTab()
{
    std::vector<FormControl> c{
        browseField("MDN", "INV:PRV", "@n03", rules::chooseProvider)
            .entering(abandoning(rules::providerOnEntry))
            .accepting(abandoning(rules::providerNeedsADate)),
        shown("Provider name", "PRV:PNAME", "@s29").tip("Last name of the provider of service.").beside(),
        heading("F25.").beside(),
        entry("", "INV:F25TIN", "@s15").ditto().entering(rules::taxNumberFromProvider).accepting(rules::taxNumberFromProvider).beside(),
        entry("", "INV:F25X", "@s3").ditto().beside(),
        entry("Invoice date", "INV:DATE", "@D2").ditto().accepting(abandoning(rules::dateNeedsAProvider)),
        entry("Account", "INV:PAT", "@n06").ditto().beside(),
        entry("Claim", "INV:INV", "@n07").ditto().beside(),
        radios("F14. Date of Current Illness, Injury, or Pregnancy (LPM)", "INV:F14B",
               {{"Illness", "Illness", {}}, {"Injury", "Injury", {}}, {"Pregnancy", "Pregnancy", {}}}),
        entry("", "INV:F14A", "@D2").tip("Date of current illness, injury or pregnancy").ditto().accepting(rules::showAgain).beside(),
        codeField("", "INV:F14Q", "@s3", CodeTable::Box14Qualifier).beside(),
        shown("Qualifier Description:", "CIQ:CIDESC", "@s128"),
        heading("F15. Other Date"),
        entry("", "INV:F15", "@D2").ditto().accepting(rules::showAgain).beside(),
        codeField("", "INV:F15Q", "@s3", CodeTable::Box15Qualifier).beside(),
        shown("Qualifier Description:", "OIQ:OIDESC", "@s128"),
        heading("F21. Diagnosis or Nature of Illness or Injury"),
        codeField("ICD-M Edition", "INV:F21IND", "@s1", CodeTable::IcdEdition).beside(),
        shown("", "ICDM:ICDM", "@s12").beside(),
        heading("Relate A-L to sesrvice line Below:"),
    };
    for (FormControl& d : diagnosisEntries()) c.push_back(std::move(d));
    std::vector<FormControl> rest{
        entry("F8. Reserved for NUCC use", "INV:F8A", "@s19").ditto().accepting(rules::showAgain),
        entry("", "INV:F8B", "@s19").ditto().accepting(rules::showAgain).beside(),
        heading("F10. Is patient's condition related to: [mark, if yes]"),
        checkBox(" Employment?", "INV:F10A", "Y"),
        checkBox(" Auto accident?", "INV:F10B", "Y", "N").accepting(rules::autoAccidentUnmarked).beside(),
        entry("If mark, indicate the state", "INV:F10BPLACE", "@s2")
            .tip("The State where the accident occur.").ditto().accepting(rules::accidentState).beside(),
        checkBox("  Other accident?", "INV:F10C", "Y").accepting(rules::otherAccidentUnmarked).beside(),
        entry("F10d. Claim Codes", "INV:F10D", "@s19").tip("Reserved for local use").ditto().accepting(rules::showAgain),
        entry("F19. Additional Claim Information", "INV:F19", "@s48")
            .tip("A short description of the  accident.").ditto().accepting(rules::showAgain),
        heading("Authorizations: [mark, if yes]"),
        checkBox("  F12. Release of any medical or other information.", "INV:F12", "Y", "N").accepting(rules::releaseUnmarked),
        browseField("[if mark, Press F12 key to enter the date", "INV:AUTHDATE", "@D2", rules::chooseSignature)
            .accepting(rules::signatureDate).beside(),
        checkBox("  F13. Authorize payment of medical benefits.", "INV:F13", "Y"),
        checkBox("  F27. Accept assignment?", "INV:F27", "Y").beside(),
        heading("F17. Name of Referring Provider or Other Source"),
        browseField("", "INV:F17ID", "@P###########P", rules::chooseReferring).accepting(rules::showAgain).beside(),
        shown("", "REF:F17R", "@s24").beside(),
        shown("", "REF:F17Q", "@s2").beside(),
        shown("", "REF:F17B", "@s10").beside(),
        heading("F32. Service Facility Location Information"),
        browseField("", "INV:F32", "@P###########P", rules::chooseFacility).accepting(rules::showAgain).beside(),
        shown("", "FAC:FACILTYNAME", "@s26").beside(),
        shown("", "FAC:FACILITYADD1", "@s26").beside(),
        shown("", "FAC:FACILITYADD2", "@s26").beside(),
        shown("Patient", "PAT:LNAME", "@s29"),
        shown("", "PAT:ADD1", "@s29").beside(),
        shownComputed("", [] {
            return cityLine(patientField("PAT:ADD2"), patientField("PAT:ADD3"), patientField("PAT:ADD4"));
        }, "@s36").beside(),
        shown("", "PAT:SEX", "@s1").tip("M= Male; F= Female").beside(),
        shown("", "PAT:BDATE", "@d2").tip("Paient's date of birth.").beside(),
    };
    for (FormControl& r : rest) c.push_back(std::move(r));
    return c;
}

std::vector<FormControl> hospitalizationTab()
{
    return {
        heading("F16. Dates patient unable to work in current occupation"),
        entry("From", "INV:WCFROM", "@d2").ditto(),
        entry("To", "INV:WCTO", "@D2").ditto().beside(),
        heading("F18. Hospitalization dates related to current services"),
        entry("From", "INV:HSOFROM", "@D2").ditto(),
        entry("To", "INV:HSPTO", "@D2").ditto().beside(),
        heading("F20. Outside Lab?"),
        checkBox(" Mark, if Yes", "INV:OUTLAB", "Y"),
        entry("$ Charge", "INV:LABCHARGE", "@n-10.2").tip("Maximun amount of $9,999.99").ditto().beside(),
        heading("F22. Resubmission"),
        entry("Code", "INV:F22CODE", "@s11").ditto(),
        entry("Original reference number", "INV:F22REF", "@s18").ditto(),
        entry("F23. Prior authorization number", "INV:F23", "@s29").ditto(),
    };
}

std::vector<FormControl> servicesTab()
{
    std::vector<FormControl> c{heading("F21. Diagnosis or Nature of Illness or Injury. Relate A-L to service line below:")};
    for (int row = 0; row < 2; ++row)
        for (int k = row; k < 12; k += 2) {
            FormControl d = shown(QString(QChar(u'A' + k)) + QLatin1Char('.'), data::FieldName::named(QStringLiteral("INV:DX%1").arg(k + 1).toStdString()),
                                  QStringLiteral("@s8"));
            c.push_back(k == row ? d : d.beside());
        }
    return c;
}

std::vector<FormControl> insuranceTab()
{
    return {
        browseField("Reference I.D.", "INV:PRIMARY", "@P#########-##P", rules::choosePrimary)
            .accepting(rules::primaryInsured),
        shown("Insurance Plan or Program Name", "IN1:PLAN", "@s20"),
        shown("Patient relationship to insured", "IN1:RSHIP", "@s10"),
        shown("Insured's name", "IN1:INS1NAME", "@s29"),
        shown("Address", "IN1:INS1ADD1", "@s29"),
        shownComputed("", [] {
            return cityLine(data::IN1.INS1ADD2.toQString(), data::IN1.INS1ADD3.toQString(), data::IN1.INS1ADD4.toQString());
        }, "@s36"),
        shown("Home/Cell phone number", "IN1:INS1AREACODE", "@p(###)p"),
        shown("", "IN1:INS1HPHONE", "@s10").beside(),
        shown("Date of birth", "IN1:INS1DOB", "@d2"),
        shown("Gender Status", "IN1:INS1SEX", "@s1").beside(),
        shown("11b Other Claim ID (by NUCC)", "IN1:INS1F11B", "@s2"),
        shown("", "IN1:INS1F11B1", "@s29").beside(),
        shown("Insured's I.D. number", "IN1:INS1IDNO", "@s14"),
        shown("Policy group or FECA number", "IN1:INS1POLICY", "@s14"),
        shown("Plan or Program Name", "IN1:INS1CARNAME", "@s30"),
        shown("Effective date", "IN1:INS1CARDATE", "@D2"),
        shown("Termination date", "IN1:INS1CARTERM", "@D2").beside(),
        heading("Is there another health"),
        heading("benefit plan?"),
        checkBox("  Mark, if Yes", "INV:F11DY", "Y").beside(),
        checkBox("  Mark, if No", "INV:F11DN", "N").beside(),
    };
}

std::vector<FormControl> otherInsuranceTab()
{
    return {
        browseField("Reference I.D.", "INV:SECONDARY", "@P#########-##P", rules::chooseSecondary),
        shown("Other Insurance Plan or Program Name", "IN2:PLAN", "@s20"),
        shown("Patient relationship to insured", "IN2:RSHIP", "@s10"),
        shown("Insured's name", "IN2:INS2NAME", "@s29"),
        shown("Address", "IN2:INS2ADD1", "@s29"),
        shownComputed("", [] {
            return cityLine(data::IN2.INS2ADD2.toQString(), data::IN2.INS2ADD3.toQString(), data::IN2.INS2ADD4.toQString());
        }, "@s36"),
        shown("Home/Cell phone number", "IN2:INS2AREACODE", "@p(###)p"),
        shown("", "IN2:INS2HPHONE", "@s10").beside(),
        shown("Date of birth", "IN2:INS2DOB", "@d2"),
        shown("Gender Status", "IN2:INS2SEX", "@s1").beside(),
        shown("Insured's I.D. number", "IN2:INS2IDNO", "@s14"),
        shown("Policy group or FECA number", "IN2:INS2POLICY", "@s14"),
        shown("9b. Reserved for NUCC use", "IN2:INS2F9B", "@s29"),
        shown("9c. Reserved for NUCC use", "IN2:INS2F9C", "@s29"),
        shown("Plan or Program Name", "IN2:INS2CARNAME", "@s30"),
        shown("Effective date", "IN2:INS2CARDATE", "@D2"),
        shown("Termination date", "IN2:INS2CARTERM", "@D2").beside(),
    };
}

// Close of a claim without a date abandons it.
Verdict closeWithoutDate(FormContext& f)
{
    return f.isBlank(QStringLiteral("INV:DATE")) ? Verdict::CloseCancelled : Verdict::Go;
}

// Save and Close store the claim total and the balance.
void setFigures(FormContext&)
{
    if (const ClaimSession* s = claimSession()) data::INV.TFEE.set(s->total);
    data::setBalanceDue(data::INV);
}

void buildWindow(FormWindow& w);

} // namespace

const FormDefinition& claimForm()
{
    static const FormDefinition def{
        .file = "Invoice",
        .title = "CMS 1500 (02-2012) Data Form",
        .insertTitle = "Record will be added",
        .changeTitle = "Record will be changed",
        .helpTopic = kClaimFormHelp,
        .buttons = {"&Save", "&Close", "Help"},
        .tabs = {{"Header", headerTab()},
                 {"  Hospitalization  ", hospitalizationTab()},
                 {"  Services  ", servicesTab()},
                 {"  Insurance Plan or Program Name  ", insuranceTab()},
                 {"  Other Insurance Plan or Program Name  ", otherInsuranceTab()}},
        .duplicateKey = DuplicateKey{"INV:INVKEY", "INV:INVkey"},
        .numbering = Numbering{"INV:INV", "INV:INVKEY"},
        .alsoUses = {"Auth", "CIQL", "Facility", "ICD", "ICD48", "Insured1", "Insured2", "Item", "OIQL", "Provider",
                     "Referring", "Rendering"},
        .related = {RelatedRecord{"Patient", "PAT:PATKEY", {{"PAT:PAT", "INV:PAT"}}}.keptApart()},
        .closeSaves = true,
        .escapeCloses = false,
        .onClosing = abandoning(closeWithoutDate),
        .onSaving = setFigures,
        .onRedisplay = refreshRelated,
        .onWindowBuilt = buildWindow,
    };
    return def;
}

namespace {

constexpr int kListRows = 9;

// The service list on the Services tab under the diagnoses, and the claim
// total on the row of its buttons; the window grows to hold them.
void addListToServicesTab(FormWindow& w)
{
    constexpr int kServicesTab = 2;
    QWidget* page = w.sheet()->widget(kServicesTab);
    int top = 0;
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        top = std::max(top, child->geometry().bottom());
    const int rowH = w.fontMetrics().height() + 8;
    const QRect place(10, top + 12, std::max(page->minimumWidth(), 760) - 20, rowH * (kListRows + 4));
    BrowseList* list = addServiceList(w, kServicesTab, place);

    auto* caption = new QLabel(QStringLiteral("Total charges:"), page);
    caption->setGeometry(place.left(), place.bottom() - rowH, 104, rowH);
    auto* total = new QLabel(page);
    total->setObjectName(QStringLiteral("claimTotal"));
    total->setFrameShape(QFrame::Panel);
    total->setFrameShadow(QFrame::Sunken);
    total->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    total->setGeometry(caption->geometry().right() + 6, caption->y(), 200, rowH);
    if (ClaimSession* s = claimSession())
        s->showTotal = [total, s] {
            const auto picture = platform::Picture::parse(QStringView(u"@n-26.2"));
            total->setText(picture ? picture->format(platform::FieldValue(s->total)).trimmed() : QString());
        };
    list->start();
}

void buildWindow(FormWindow& w)
{
    ClaimSession* s = claimSession();
    if (!s) return;
    FormEngine& engine = w.engine();
    s->engine = &engine;
    if (engine.request() == Request::Insert) {
        data::InvoiceRecord numbered{};
        if (engine.savedRecord().size() == qsizetype(sizeof numbered))
            std::memcpy(&numbered, engine.savedRecord().constData(), sizeof numbered);
        s->reserved = numbered.INV.asInt();
    }
    addListToServicesTab(w);

}

// The numbers a line can carry are used up: message 25 with the reason,
// Retry looks again.
bool claimNumberLeft()
{
    data::FileUse use{&data::file::Invoice};
    platform::RecordFile& claims = data::recordFile(data::file::Invoice);
    const data::InvoiceRecord kept = data::INV;
    for (;;) {
        long long highest = 0;
        int rc = claims.set(data::file::Invoice.keyIndex("INV:INVKEY"), platform::RecordFile::Start::AtEnds);
        if (rc == platform::errc::Ok) rc = claims.previous();
        if (rc == platform::errc::Ok) highest = data::INV.INV.asInt();
        data::INV = kept;
        if (rc != platform::errc::Ok && rc != platform::errc::NoRecord) {
            data::standardMessage(data::MessageNo::RecordRetrievalError, QStringLiteral("Invoice"));
            return false;
        }
        if (highest < kLastClaimNumber) return true;
        data::saveError({data::RefusedError,
                         QStringLiteral("claim numbers are used up: a service line holds claim numbers up to %1")
                             .arg(QLocale::c().toString(kLastClaimNumber)),
                         0, {}});
        if (data::standardMessage(data::MessageNo::AutoIncrementError) != data::Button::Retry) return false;
    }
}

} // namespace

Response runClaimForm(const QString& iniFile, QWidget* parent)
{
    ClaimSession session;
    session.iniFile = iniFile;
    ClaimSession* outer = claimSession();
    setClaimSession(&session);
    const Request request = CallRequest;
    if (request == Request::Insert && !claimNumberLeft()) {
        CallRequest = Request::None;
        CallResponse = Response::Cancelled;
        setClaimSession(outer);
        return CallResponse;
    }
    std::optional<data::ClaimSnapshotHold> hold;
    if (request == Request::Change) hold.emplace();
    runForm(claimForm(), parent);
    const Response response = CallResponse;
    // Whatever way a new claim was left, nothing stays under its number.
    if (request == Request::Insert && response != Response::Completed && session.reserved > 0)
        abandonNewClaim(session.reserved, session.addedLines);
    setClaimSession(outer);
    CallResponse = response;
    return response;
}

} // namespace kestrel::claims
