#include "reports/statementlayout.h"

#include "platform/picture.h"

namespace kestrel::reports {

namespace {

using platform::Decimal;

// Column places of the detail line, mils from the page's left edge.
constexpr int InvoiceX = 490, DateX = 1167, ServiceX = 2083, ModifierX = 2656, DescriptionX = 2969,
              ProviderX = 4323, DiagnosisX = 4667, PlaceX = 5302, ChargeX = 5677, AdjustmentX = 6875;
constexpr int NumberWidth = 600;      // the claim number, right-aligned
constexpr int DescriptionClip = 1198;
constexpr int AmountWidth = 1100;     // @n-14.2, right-aligned in its column
constexpr int DescriptionChars = 32, DiagnosisChars = 6, CityChars = 36, NameChars = 29;
// The page frame: the ruled heading box and the column rules below it.
constexpr int FrameLeft = 400, FrameRight = 8100, FrameTop = 3480, HeadingBottom = 3677, FrameBottom = 9870;
constexpr int ColumnRules[] = {1117, 2033, 2919, 4273, 4617, 5252, 5627, 6825};

QFont font(int points, const QString& family = {})
{
    QFont f = defaultReportFont();
    if (!family.isEmpty())
        f.setFamily(family);
    f.setPointSize(points);
    return f;
}

const QFont& bodyFont()
{
    static const QFont f = font(8);
    return f;
}

TextControl text(const char* name, int x, int y, int width = 0, Qt::Alignment align = Qt::AlignLeft)
{
    TextControl c;
    c.name = QString::fromLatin1(name);
    c.x = x;
    c.y = y;
    c.width = width;
    c.align = align;
    c.font = bodyFont();
    return c;
}

TextControl label(const char* name, int x, int y, const QString& shown)
{
    TextControl c = text(name, x, y);
    c.text = shown;
    return c;
}

TextControl amount(const char* name, int x, int y)
{
    return text(name, x, y, AmountWidth, Qt::AlignRight);
}

QString money(const Decimal& d)
{
    static const platform::Picture picture = platform::Picture::from("@n-14.2");
    return picture.format(d.rescaled(2));
}

QString stored(const data::DateText& d) { return QString::fromLatin1(d.view().data(), int(d.view().size())); }

QString serviceDate(const data::DateText& d)
{
    const QDate date = QDate::fromString(stored(d), QStringLiteral("yyyyMMdd"));
    return date.isValid() ? date.toString(QStringLiteral("MM-dd-yyyy")) : QString();
}

QString areaCode(const QString& code) { return code.isEmpty() ? QString() : QLatin1Char('(') + code + QLatin1Char(')'); }

QString wholeNumber(qint64 n) { return n == 0 ? QString() : QString::number(n); }

Band pageHeader(StatementKind kind)
{
    Band b;
    b.height = StatementHeaderHeight;
    const int letterY[] = {667, 833, 1000, 1167};
    const char* letter[] = {"PRV:GNAME", "PRV:PNAME", "PRV:BADD1", "PRV:BADD2"};
    for (int i = 0; i < 4; ++i)
        b.controls.push_back(text(letter[i], 990, letterY[i]));
    b.controls.push_back(label("PhoneLabel", 5677, 1000, QStringLiteral("Phone")));
    b.controls.push_back(text("PRV:BPAREACODE", 6563, 1000));
    b.controls.push_back(text("PRV:BPHONE", 6875, 1000));
    b.controls.push_back(label("FaxLabel", 5677, 1167, QStringLiteral("Fax")));
    b.controls.push_back(text("PRV:BFAREACODE", 6563, 1167));
    b.controls.push_back(text("PRV:BFAX", 6875, 1167));
    b.controls.push_back(text("PAT:LNAME", 990, 2167));
    b.controls.push_back(text("PAT:ADD1", 990, 2333));
    b.controls.push_back(text("CityLine", 990, 2500));
    TextControl title = label("Title", 1042, 3000, statementTitle(kind));
    title.width = 7917 - 1042;
    title.align = Qt::AlignHCenter;
    title.font = font(14, QStringLiteral("Arial Narrow"));
    b.controls.push_back(title);
    const std::pair<const char*, int> headings[] = {
        {"Invoice", InvoiceX},         {"Date", DateX},      {"Service", ServiceX},   {"Description", DescriptionX},
        {"MD", ProviderX},             {"ICD-M", DiagnosisX}, {"POS", PlaceX},        {"Charge/Payment", ChargeX},
        {"Adjustment", AdjustmentX}};
    for (const auto& [heading, x] : headings)
        b.controls.push_back(label(heading, x, 3500, QString::fromLatin1(heading)));
    return b;
}

Band detailBand()
{
    Band b;
    b.height = StatementLineHeight;
    b.controls = {text("ITM:INV", InvoiceX, 0, NumberWidth, Qt::AlignRight),
                  text("ITM:DOSF", DateX, 0),
                  text("ITM:CPT", ServiceX, 0),
                  text("ITM:MOD1", ModifierX, 0),
                  text("ITM:DES", DescriptionX, 0, DescriptionClip),
                  text("MD", ProviderX, 0),
                  text("ICD-M", DiagnosisX, 0),
                  text("ITM:POS", PlaceX, 0),
                  amount("ITM:FEE", ChargeX, 0),
                  amount("ITM:ADJ", AdjustmentX, 0)};
    return b;
}

// The footer of a history or outstanding group: its charges and
// adjustments in their columns, the balance below them.
Band groupFooterBand()
{
    Band b;
    b.height = 3 * StatementLineHeight;
    b.rules.push_back({.x1 = ChargeX, .y1 = 30, .x2 = AdjustmentX + AmountWidth, .y2 = 30});
    b.controls = {amount("GroupFee", ChargeX, 60), amount("GroupAdj", AdjustmentX, 60),
                  label("GroupBalanceLabel", 5833, 227, QStringLiteral("$  Balance:")),
                  amount("GroupBalance", AdjustmentX, 227)};
    return b;
}

Band pageFooter(StatementKind kind)
{
    Band b;
    b.height = StatementFooterHeight;
    auto at = [](int pageY) { return pageY - StatementFooterTop; };
    if (kind == StatementKind::Invoice) {
        b.controls = {amount("TotalFee", 5667, at(9990)), amount("TotalAdj", 6865, at(9990)),
                      label("BalanceLabel", 5833, at(10156), QStringLiteral("$ Balance:")),
                      amount("TotalBalance", 6865, at(10156))};
    }
    b.controls.push_back(text("PrintDate", 938, at(10011)));
    b.controls.push_back(text("PageNumber", 938, at(10156)));
    return b;
}

Band pageFrame()
{
    Band b;
    b.controls.push_back(label("Product", 521, 10417, QStringLiteral("KESTREL")));
    PlacedBox headings;
    headings.rect = QRect(QPoint(FrameLeft, FrameTop), QPoint(FrameRight, HeadingBottom));
    b.boxes.push_back(headings);
    b.rules.push_back({.x1 = FrameLeft, .y1 = HeadingBottom, .x2 = FrameLeft, .y2 = FrameBottom});
    b.rules.push_back({.x1 = FrameRight, .y1 = HeadingBottom, .x2 = FrameRight, .y2 = FrameBottom});
    b.rules.push_back({.x1 = FrameLeft, .y1 = FrameBottom, .x2 = FrameRight, .y2 = FrameBottom});
    for (int x : ColumnRules)
        b.rules.push_back({.x1 = x, .y1 = FrameTop, .x2 = x, .y2 = FrameBottom, .thickness = 5});
    return b;
}

ReportLayout statementLayout(StatementKind kind)
{
    ReportLayout l;
    l.form = pageFrame();
    l.pageHeader = pageHeader(kind);
    l.detailTop = StatementDetailTop;
    l.detailBottom = StatementDetailTop + StatementDetailHeight;
    l.pageFooter = pageFooter(kind);
    l.pageFooterTop = StatementFooterTop;
    return l;
}

} // namespace

QString statementTitle(StatementKind kind)
{
    switch (kind) {
    case StatementKind::Invoice: return QStringLiteral("Invoice Statement");
    case StatementKind::History: return QStringLiteral("Account History");
    case StatementKind::Outstanding: return QStringLiteral("Outstanding Statement");
    }
    return {};
}

QString cityLine(StatementKind kind, const data::PatientRecord& pat)
{
    const QString between = kind == StatementKind::Invoice ? QStringLiteral("  ") : QStringLiteral(", ");
    return (pat.ADD2.toQString() + between + pat.ADD3.toQString() + QLatin1Char(' ') + pat.ADD4.toQString())
        .left(CityChars);
}

QString diagnosisFor(const QString& pointer, const data::InvoiceRecord& claim)
{
    const data::Text<7>* codes[] = {&claim.DX1, &claim.DX2, &claim.DX3, &claim.DX4,  &claim.DX5,  &claim.DX6,
                                    &claim.DX7, &claim.DX8, &claim.DX9, &claim.DX10, &claim.DX11, &claim.DX12};
    if (pointer.isEmpty())
        return {};
    const char16_t first = pointer.front().toUpper().unicode();
    int index = -1;
    if (first >= u'1' && first <= u'4')
        index = first - u'1';
    else if (first >= u'A' && first <= u'L')
        index = first - u'A';
    return index < 0 ? QString() : codes[index]->toQString().left(DiagnosisChars);
}

bool ClaimNumberColumn::show(bool restart)
{
    if (restart)
        counter_ = 0;
    if (++counter_ == ClaimNumberRepeat)
        counter_ = 0;
    return counter_ == 1;
}

StatementPrinter::StatementPrinter(StatementKind kind, const QDate& today, PageSink& sink)
    : kind_(kind), today_(today), report_(statementLayout(kind), sink), detail_(detailBand()),
      groupFooter_(groupFooterBand())
{
    report_.pageClosing = [this](int page) {
        Band& f = report_.footer();
        if (kind_ == StatementKind::Invoice)
            fillTotals(f, running_);
        static const platform::Picture longDate = platform::Picture::from("@D4");
        f.setText(QStringLiteral("PrintDate"), longDate.format(today_.toString(QStringLiteral("yyyyMMdd")).toStdString()));
        f.setText(QStringLiteral("PageNumber"), QStringLiteral("Page %1").arg(page));
    };
}

void StatementPrinter::fillTotals(Band& band, const Totals& totals)
{
    const bool group = kind_ != StatementKind::Invoice;
    band.setText(group ? QStringLiteral("GroupFee") : QStringLiteral("TotalFee"), money(totals.fee));
    band.setText(group ? QStringLiteral("GroupAdj") : QStringLiteral("TotalAdj"), money(totals.adj));
    band.setText(group ? QStringLiteral("GroupBalance") : QStringLiteral("TotalBalance"), money(totals.fee + totals.adj));
}

void StatementPrinter::fillHeader(const data::PatientRecord& pat, const data::ProviderRecord& prv)
{
    Band& h = report_.header();
    auto name = [](const auto& field) { return field.toQString().left(NameChars); };
    h.setText(QStringLiteral("PRV:GNAME"), name(prv.GNAME));
    h.setText(QStringLiteral("PRV:PNAME"), name(prv.PNAME));
    h.setText(QStringLiteral("PRV:BADD1"), name(prv.BADD1));
    h.setText(QStringLiteral("PRV:BADD2"), name(prv.BADD2));
    h.setText(QStringLiteral("PRV:BPAREACODE"), areaCode(prv.BPAREACODE.toQString()));
    h.setText(QStringLiteral("PRV:BPHONE"), prv.BPHONE.toQString());
    h.setText(QStringLiteral("PRV:BFAREACODE"), areaCode(prv.BFAREACODE.toQString()));
    h.setText(QStringLiteral("PRV:BFAX"), prv.BFAX.toQString());
    h.setText(QStringLiteral("PAT:LNAME"), name(pat.LNAME));
    h.setText(QStringLiteral("PAT:ADD1"), name(pat.ADD1));
    h.setText(QStringLiteral("CityLine"), cityLine(kind_, pat));
}

void StatementPrinter::fillDetail(const data::InvoiceRecord& inv, const data::ItemRecord* item, bool showNumber)
{
    detail_.clearTexts();
    const qint64 claim = item ? item->INV.asInt() : inv.INV.asInt();
    if (showNumber)
        detail_.setText(QStringLiteral("ITM:INV"), wholeNumber(claim));
    if (!item)
        return;
    detail_.setText(QStringLiteral("ITM:DOSF"), serviceDate(item->DOSF));
    detail_.setText(QStringLiteral("ITM:CPT"), item->CPT.toQString());
    detail_.setText(QStringLiteral("ITM:MOD1"), item->MOD1.toQString());
    detail_.setText(QStringLiteral("ITM:DES"), item->DES.toQString().left(DescriptionChars));
    const qint64 md = kind_ == StatementKind::Outstanding ? inv.PRV.asInt() : item->PRV.asInt();
    detail_.setText(QStringLiteral("MD"), wholeNumber(md));
    detail_.setText(QStringLiteral("ICD-M"), diagnosisFor(item->DXL.toQString(), inv));
    detail_.setText(QStringLiteral("ITM:POS"), item->POS.toQString());
    detail_.setText(QStringLiteral("ITM:FEE"), money(item->FEE.value()));
    detail_.setText(QStringLiteral("ITM:ADJ"), money(item->ADJ.value()));
}

void StatementPrinter::print(const data::InvoiceRecord& inv, const data::PatientRecord& pat,
                             const data::ProviderRecord& prv, const data::ItemRecord* item)
{
    const qint64 claim = inv.INV.asInt(), provider = inv.PRV.asInt(), patient = inv.PAT.asInt();
    QString key;
    if (kind_ == StatementKind::History)
        key = QString::number(provider);
    else if (kind_ == StatementKind::Outstanding)
        key = QStringLiteral("%1/%2").arg(provider).arg(patient);
    if (started_ && key != groupKey_)
        closeGroup();  // under the header of the group it closes
    const bool restart = !started_ || claim != lastClaim_ ||
                         (kind_ != StatementKind::Invoice && provider != lastProvider_) ||
                         (kind_ == StatementKind::Outstanding && patient != lastPatient_);
    fillHeader(pat, prv);
    fillDetail(inv, item, numberColumn_.show(restart));
    report_.printDetail(detail_, key.isEmpty() ? QVariant() : QVariant(key));
    if (item) {
        for (Totals* t : {&running_, &group_}) {
            t->fee += item->FEE.value();
            t->adj += item->ADJ.value();
        }
    }
    groupKey_ = key;
    started_ = true;
    lastClaim_ = claim;
    lastProvider_ = provider;
    lastPatient_ = patient;
    ++lines_;
}

void StatementPrinter::closeGroup()
{
    if (kind_ == StatementKind::Invoice)
        return;
    fillTotals(groupFooter_, group_);
    report_.printDetail(groupFooter_, QVariant(groupKey_));
    group_ = {};
}

void StatementPrinter::finish()
{
    if (started_)
        closeGroup();
    report_.finish();
}

} // namespace kestrel::reports
