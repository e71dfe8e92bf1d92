#include "reports/claimheader.h"

#include "reports/claimform.h"

namespace kestrel::reports {

namespace {

using Value = QString (*)(const ClaimRecords&);

// A text box: position, width in characters, and where its value comes from.
struct TextBox { int x, y, chars; Value value; int clip = 0; };

#define F(expr) [](const ClaimRecords& r) -> QString { return (expr).toQString(); }

const TextBox TextBoxes[] = {
    {5233, 1469, 29, F(r.in1.INS1IDNO)},       {333, 1802, 28, F(r.pat.LNAME)},
    {5233, 1802, 29, F(r.in1.INS1NAME)},       {333, 2135, 28, F(r.pat.ADD1)},
    {333, 2469, 24, F(r.pat.ADD2)},            {2833, 2469, 3, F(r.pat.ADD3)},
    {333, 2802, 12, F(r.pat.ADD4)},            {1733, 2802, 3, F(r.pat.HAREA)},
    {2133, 2802, 10, F(r.pat.HPHON)},          {5233, 2135, 29, F(r.in1.INS1ADD1)},
    {5233, 2469, 23, F(r.in1.INS1ADD2)},       {7633, 2469, 4, F(r.in1.INS1ADD3)},
    {5233, 2802, 12, F(r.in1.INS1ADD4)},       {6733, 2802, 3, F(r.in1.INS1AREACODE)},
    {7133, 2802, 10, F(r.in1.INS1HPHONE)},     {3233, 2469, 19, F(r.inv.F8A)},
    {3233, 2802, 19, F(r.inv.F8B)},            {333, 3135, 28, F(r.in2.INS2NAME)},
    {333, 3469, 28, F(r.in2.INS2POLICY)},      {333, 3802, 28, F(r.in2.INS2F9B)},
    {333, 4135, 28, F(r.in2.INS2F9C)},         {333, 4469, 29, F(r.in2.INS2CARNAME)},
    {4733, 3802, 2, F(r.inv.F10BPLACE)},       {3633, 4469, 19, F(r.inv.F10D)},
    {5233, 3135, 29, F(r.in1.INS1POLICY)},     {5233, 3802, 2, F(r.in1.INS1F11B)},
    {5533, 3802, 29, F(r.in1.INS1F11B1)},      {5233, 4135, 29, F(r.in1.INS1CARNAME)},
    {933, 4969, 32, F(r.inv.AUTHSIGN), 2708},  {1833, 5469, 3, F(r.inv.F14Q)},
    {3333, 5469, 3, F(r.inv.F15Q)},            {333, 5802, 2, F(r.ref.F17Q)},
    {633, 5802, 24, F(r.ref.F17R)},            {3233, 5635, 2, F(r.ref.F17AQ)},
    {3533, 5635, 17, F(r.ref.F17A)},           {3533, 5802, 10, F(r.ref.F17B)},
    {333, 6135, 48, F(r.inv.F19)},             {4433, 6302, 1, F(r.inv.F21IND)},
    {5233, 6469, 11, F(r.inv.F22CODE)},        {6433, 6469, 18, F(r.inv.F22REF)},
    {5233, 6802, 29, F(r.inv.F23)},            {333, 9469, 15, F(r.inv.F25TIN)},
    {333, 10135, 29, F(r.prv.PNAME), 1979},    {2533, 9802, 26, F(r.fac.FACILTYNAME)},
    {2533, 9969, 26, F(r.fac.FACILITYADD1)},   {2533, 10135, 26, F(r.fac.FACILITYADD2)},
    {2533, 10302, 10, F(r.fac.FACILITYNPI), 1146}, {3833, 10302, 2, F(r.fac.FACILITYQLN)},
    {4033, 10302, 14, F(r.fac.FACILITYNNPI), 1323}, {6833, 9635, 3, F(r.prv.BPAREACODE)},
    {7233, 9635, 8, F(r.prv.BPHONE)},          {5233, 9969, 29, F(r.prv.BADD1)},
    {5233, 10135, 29, F(r.prv.BADD2)},         {5233, 10302, 10, F(r.prv.F33A)},
    {6533, 10302, 2, F(r.prv.F33B1)},          {6733, 10302, 17, F(r.prv.F33B2)},
};
#undef F

void put(std::vector<PlacedText>& out, int x, int y, const QString& text, int clip = 0)
{
    if (!text.isEmpty())
        out.push_back({.x = x, .y = y, .width = clip, .text = text});
}

void putDate(std::vector<PlacedText>& out, const QString& stored, std::array<int, 3> xs, int y)
{
    const DateParts d = dateParts(stored);
    put(out, xs[0], y, d.month);
    put(out, xs[1], y, d.day);
    put(out, xs[2], y, d.year);
}

// "X" at the box whose code the field holds (codes "1", "2", ... in order).
void markCode(std::vector<PlacedText>& out, const QString& code, const std::vector<int>& xs, int y)
{
    bool ok = false;
    const int n = code.toInt(&ok);
    if (ok && code.size() == 1 && n >= 1 && n <= int(xs.size()))
        put(out, xs[size_t(n - 1)], y, QStringLiteral("X"));
}

void markYesNo(std::vector<PlacedText>& out, bool yes, int yesX, int noX, int y)
{
    put(out, yes ? yesX : noX, y, QStringLiteral("X"));
}

void markSex(std::vector<PlacedText>& out, const QString& sex, int mX, int fX, int y)
{
    if (sex == QLatin1String("M")) put(out, mX, y, QStringLiteral("X"));
    if (sex == QLatin1String("F")) put(out, fX, y, QStringLiteral("X"));
}

QString stored(const data::DateText& d) { return QString::fromLatin1(d.view().data(), int(d.view().size())); }

} // namespace

std::vector<PlacedText> claimHeader(const ClaimRecords& r, Plan plan, const QDate& today)
{
    std::vector<PlacedText> out;
    const bool other = plan == Plan::Other;
    const data::PayerRecord& payer = r.payer;
    const int carrierY[] = {500, 667, 833, 1000};
    const QString carrier[] = {payer.HICNAME.toQString(), payer.HICADD1.toQString(), payer.HICADD2.toQString(),
                               payer.HICADD3.toQString()};
    for (int i = 0; i < 4; ++i)
        put(out, 3958, carrierY[i], carrier[i].left(41));
    put(out, 313, 1167, QStringLiteral("XXX"));
    put(out, 7917, 1167, QStringLiteral("XXX"));
    for (const TextBox& b : TextBoxes)
        put(out, b.x, b.y, b.value(r).left(b.chars), b.clip);
    markCode(out, other ? r.in2.INS2PLAN.toQString() : r.in1.INS1PLAN.toQString(),
             {344, 1031, 1740, 2656, 3344, 4156, 4760}, 1490);
    putDate(out, stored(r.pat.BDATE), {3365, 3667, 3969}, 1792);
    markSex(out, r.pat.SEX.toQString(), 4433, 4933, 1802);
    markCode(out, other ? r.in2.INS2PATREL2INS.toQString() : r.in1.INS1PATREL2INS.toQString(),
             {3533, 4033, 4433, 4933}, 2135);
    markYesNo(out, r.inv.F10A == "Y", 3733, 4333, 3469);
    markYesNo(out, r.inv.F10B == "Y", 3733, 4333, 3802);
    markYesNo(out, r.inv.F10C == "Y", 3733, 4333, 4135);
    putDate(out, stored(r.in1.INS1DOB), {5533, 5833, 6133}, 3469);
    markSex(out, other ? r.in2.INS2SEX.toQString() : r.in1.INS1SEX.toQString(), 7033, 7733, 3469);
    if (r.inv.F11DY == "Y") put(out, 5433, 4469, QStringLiteral("X"));
    if (r.inv.F11DN == "N") put(out, 5933, 4469, QStringLiteral("X"));
    if (const QDate d = QDate::fromString(stored(r.inv.AUTHDATE), QStringLiteral("yyyyMMdd"));
        d.isValid() && !(r.inv.AUTHSIGN == "N"))
        put(out, 3833, 4969, d.toString(QStringLiteral("MM/dd/yyyy")));
    if (r.inv.F13 == "Y") put(out, 5733, 4969, QStringLiteral("Signature On File"));
    putDate(out, stored(r.inv.F14A), {433, 733, 1033}, 5469);
    putDate(out, stored(r.inv.F15), {3933, 4233, 4533}, 5469);
    putDate(out, stored(r.inv.WCFROM), {5633, 5933, 6233}, 5469);
    putDate(out, stored(r.inv.WCTO), {7033, 7333, 7633}, 5469);
    putDate(out, stored(r.inv.HSOFROM), {5633, 5933, 6233}, 5802);
    putDate(out, stored(r.inv.HSPTO), {7033, 7333, 7633}, 5802);
    // Box 20: no outside-lab mark at all without a lab charge.
    const platform::Decimal lab = r.inv.LABCHARGE.value();
    if (!lab.isZero()) {
        markYesNo(out, r.inv.OUTLAB == "Y", 5433, 5933, 6135);
        put(out, 6533, 6135, amountText(lab.rescaled(2).units(), 10));
    }
    const data::Text<7>* dx[] = {&r.inv.DX1, &r.inv.DX2, &r.inv.DX3, &r.inv.DX4, &r.inv.DX5, &r.inv.DX6,
                                 &r.inv.DX7, &r.inv.DX8, &r.inv.DX9, &r.inv.DX10, &r.inv.DX11, &r.inv.DX12};
    const int dxX[] = {533, 1833, 3133, 4433}, dxY[] = {6469, 6635, 6802};
    for (int i = 0; i < 12; ++i)
        put(out, dxX[i % 4], dxY[i / 4], dx[i]->toQString());
    markYesNo(out, r.inv.F25X == "SSN", 1933, 2133, 9469);
    put(out, 2542, 9448, QStringLiteral("%1").arg(r.inv.PAT.asInt(), 5, 10, QLatin1Char('0')));
    put(out, 3190, 9448, QStringLiteral("%1").arg(r.inv.INV.asInt(), 8, 10, QLatin1Char('0')), 781);
    markYesNo(out, r.inv.F27 == "Y", 4033, 4533, 9469);
    put(out, 833, 10302, today.toString(QStringLiteral("MM/dd/yy")));
    put(out, 5233, 9802, (r.prv.GIDX == "G" ? r.prv.GNAME : r.prv.PNAME).toQString().left(29));
    return out;
}

} // namespace kestrel::reports
