#include "reports/cms1500form.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>

#include <cmath>
#include <span>

namespace kestrel::reports {

namespace {

// The form's dropout red, its light tint for shaded cells, and the black of
// the two-dimensional code area.
const QColor Ink(220, 40, 40);
const QColor Tint(250, 223, 223);

// The form sits on a 10-characters, 6-lines-per-inch grid.
constexpr double GridTop = 302.0, LineHeight = 166.7;
constexpr int Left = 285, Right = 8217;          // outer border
constexpr int ColumnA = 3162, ColumnB = 5183;    // left | middle | right
constexpr int HeavyTop = 1300, HeavyMiddle = 5310, HeavyBottom = 10480;
constexpr int Thin = 8, Heavy = 30;
constexpr int ServiceLines = 6, FirstServiceLine = 43;
constexpr int CheckSize = 120;

int line(int n) { return int(std::lround(GridTop + (n - 1) * LineHeight)); }

QFont formFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(int(std::lround(points * 1000 / 72)));
    font.setBold(bold);
    return font;
}

void rule(QPainter& p, int x1, int y1, int x2, int y2, int width = Thin)
{
    QPen pen(Ink);
    pen.setWidth(width);
    pen.setCapStyle(Qt::SquareCap);
    p.setPen(pen);
    p.drawLine(x1, y1, x2, y2);
}

void hrule(QPainter& p, int x1, int x2, int y) { rule(p, x1, y, x2, y); }
void vrule(QPainter& p, int x, int y1, int y2) { rule(p, x, y1, x, y2); }

// Text with its top at y.
void text(QPainter& p, int x, int y, const QString& s, double points = 6.0, bool bold = false)
{
    p.setFont(formFont(points, bold));
    p.setPen(Ink);
    p.drawText(QPointF(x, y + QFontMetricsF(p.font()).ascent()), s);
}


// A check box around the character cell whose top-left is (x, y).
void checkBox(QPainter& p, int x, int y, const QString& label = {})
{
    QPen pen(Ink);
    pen.setWidth(Thin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(x - 15, y + 25, CheckSize, CheckSize);
    if (!label.isEmpty())
        text(p, x - 25 - int(QFontMetricsF(formFont(6)).horizontalAdvance(label)), y + 50, label);
}

void shade(QPainter& p, int x1, int y1, int x2, int y2) { p.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), Tint); }

// A placeholder for the two-dimensional code: a fixed pattern of black
// squares with solid corner marks, not a readable code.
void codeArea(QPainter& p)
{
    constexpr int X = 300, Y = 190, Cells = 17, Cell = 30;
    for (int r = 0; r < Cells; ++r)
        for (int c = 0; c < Cells; ++c) {
            const bool corner = (r < 3 || r >= Cells - 3) && (c < 3 || c >= Cells - 3);
            const bool dot = ((r * 7 + c * 13 + r * c) % 5) < 2;
            if (corner || dot)
                p.fillRect(QRect(X + c * Cell, Y + r * Cell, Cell, Cell), Qt::black);
        }
}

void header(QPainter& p)
{
    codeArea(p);
    text(p, 2900, 740, QStringLiteral("HEALTH INSURANCE CLAIM FORM"), 12, true);
    text(p, 300, 900, QStringLiteral("APPROVED BY NATIONAL UNIFORM CLAIM COMMITTEE (NUCC) 02/12"), 6);
    const int y = line(6);
    text(p, 700, y + 30, QStringLiteral("PICA"), 7, true);
    text(p, 7350, y + 30, QStringLiteral("PICA"), 7, true);
    for (int i = 0; i < 3; ++i) {
        checkBox(p, 320 + i * 120, y - 10);
        checkBox(p, 7920 + i * 100 - 200, y - 10);
    }
}

// Box 1 and 1a, grid lines 7-8.
void planBand(QPainter& p)
{
    text(p, Left + 10, line(7) + 30, QStringLiteral("1."), 5);
    struct Plan { int x; const char* name; const char* id; };
    static constexpr Plan plans[] = {
        {344, "MEDICARE", "(Medicare#)"}, {1031, "MEDICAID", "(Medicaid#)"}, {1740, "TRICARE", "(ID#/DoD#)"},
        {2656, "CHAMPVA", "(Member ID#)"}, {3344, "GROUP HEALTH PLAN", "(ID#)"},
        {4156, "FECA BLK LUNG", "(ID#)"}, {4760, "OTHER", "(ID#)"}};
    for (const Plan& plan : plans) {
        text(p, plan.x + 10, line(7) + 30, QString::fromLatin1(plan.name), 5);
        checkBox(p, plan.x, 1490);
        text(p, plan.x + 140, 1530, QString::fromLatin1(plan.id));
    }
    text(p, ColumnB + 25, line(7) + 10, QStringLiteral("1a. INSURED'S I.D. NUMBER                    (For Program in Item 1)"));
}

struct Title { int x; int line; const char* text; double points = 6; };

// Titles of the patient and insured boxes, 2 to 11d.
constexpr Title PatientTitles[] = {
    {Left, 9, "2. PATIENT'S NAME (Last Name, First Name, Middle Initial)"},
    {ColumnA, 9, "3. PATIENT'S BIRTH DATE        SEX"},
    {ColumnA + 150, 10, "MM    DD    YY"},
    {ColumnB, 9, "4. INSURED'S NAME (Last Name, First Name, Middle Initial)"},
    {Left, 11, "5. PATIENT'S ADDRESS (No., Street)"},
    {ColumnA, 11, "6. PATIENT RELATIONSHIP TO INSURED"},
    {ColumnB, 11, "7. INSURED'S ADDRESS (No., Street)"},
    {Left, 13, "CITY"}, {2790, 13, "STATE"}, {ColumnA, 13, "8. RESERVED FOR NUCC USE"},
    {ColumnB, 13, "CITY"}, {7560, 13, "STATE"},
    {Left, 15, "ZIP CODE"}, {1590, 15, "TELEPHONE (Include Area Code)"},
    {ColumnB, 15, "ZIP CODE"}, {6480, 15, "TELEPHONE (Include Area Code)"},
    {Left, 17, "9. OTHER INSURED'S NAME (Last Name, First Name, Middle Initial)"},
    {ColumnA, 17, "10. IS PATIENT'S CONDITION RELATED TO:"},
    {ColumnB, 17, "11. INSURED'S POLICY GROUP OR FECA NUMBER"},
    {Left, 19, "a. OTHER INSURED'S POLICY OR GROUP NUMBER"},
    {ColumnA, 19, "a. EMPLOYMENT? (Current or Previous)"},
    {ColumnB, 19, "a. INSURED'S DATE OF BIRTH                       SEX"},
    {ColumnB + 250, 20, "MM   DD   YY"},
    {Left, 21, "b. RESERVED FOR NUCC USE"},
    {ColumnA, 21, "b. AUTO ACCIDENT?                 PLACE (State)"},
    {ColumnB, 21, "b. OTHER CLAIM ID (Designated by NUCC)"},
    {Left, 23, "c. RESERVED FOR NUCC USE"},
    {ColumnA, 23, "c. OTHER ACCIDENT?"},
    {ColumnB, 23, "c. INSURANCE PLAN NAME OR PROGRAM NAME"},
    {Left, 25, "d. INSURANCE PLAN NAME OR PROGRAM NAME"},
    {ColumnA, 25, "10d. CLAIM CODES (Designated by NUCC)"},
    {ColumnB, 25, "d. IS THERE ANOTHER HEALTH BENEFIT PLAN?"},
    {ColumnB + 1300, 26, "If yes, complete items 9, 9a, and 9d."},
    {Left, 27, "READ BACK OF FORM BEFORE COMPLETING & SIGNING THIS FORM."},
    {Left, 28, "12. PATIENT'S OR AUTHORIZED PERSON'S SIGNATURE  I authorize the release of any medical or other "
               "information necessary to process", 5},
    {Left + 100, 29, "this claim. I also request payment of government benefits either to myself or to the party "
                     "who accepts assignment below.", 5},
    {Left, 30, "SIGNED"}, {3400, 30, "DATE"},
    {ColumnB, 27, "13. INSURED'S OR AUTHORIZED PERSON'S SIGNATURE I authorize"},
    {ColumnB + 100, 28, "payment of medical benefits to the undersigned physician or"},
    {ColumnB + 100, 29, "supplier for services described below."},
    {ColumnB, 30, "SIGNED"},
};

// Titles of the physician and supplier boxes, 14 to 33.
constexpr Title ServiceTitles[] = {
    {Left, 31, "14. DATE OF CURRENT ILLNESS, INJURY, or PREGNANCY (LMP)"},
    {Left + 150, 32, "MM    DD    YY                 QUAL."},
    {2970, 31, "15. OTHER DATE"}, {2970, 32, "QUAL."}, {3900, 32, "MM    DD    YY"},
    {ColumnB, 31, "16. DATES PATIENT UNABLE TO WORK IN CURRENT OCCUPATION"},
    {ColumnB, 32, "FROM                                    TO"},
    {Left, 33, "17. NAME OF REFERRING PROVIDER OR OTHER SOURCE"},
    {ColumnA, 33, "17a."}, {ColumnA, 34, "17b.  NPI"},
    {ColumnB, 33, "18. HOSPITALIZATION DATES RELATED TO CURRENT SERVICES"},
    {ColumnB, 34, "FROM                                    TO"},
    {Left, 35, "19. ADDITIONAL CLAIM INFORMATION (Designated by NUCC)"},
    {ColumnB, 35, "20. OUTSIDE LAB?                       $ CHARGES"},
    {Left, 37, "21. DIAGNOSIS OR NATURE OF ILLNESS OR INJURY Relate A-L to service line below (24E)"},
    {4000, 37, "ICD Ind."},
    {ColumnB, 37, "22. RESUBMISSION CODE"}, {6340, 37, "ORIGINAL REF. NO."},
    {ColumnB, 39, "23. PRIOR AUTHORIZATION NUMBER"},
    {Left, 41, "24. A.     DATE(S) OF SERVICE"}, {Left + 150, 42, "From            To"},
    {2060, 41, "B."}, {2380, 41, "C."},
    {2680, 41, "D. PROCEDURES, SERVICES, OR SUPPLIES"}, {2680, 42, "CPT/HCPCS        MODIFIER"},
    {4670, 41, "E. DIAGNOSIS", 4.5}, {4670, 42, "POINTER", 5},
    {ColumnB, 41, "F."}, {ColumnB + 150, 42, "$ CHARGES"},
    {6080, 41, "G. DAYS"}, {6080, 42, "OR UNITS"},
    {6480, 41, "H."}, {6690, 41, "I. ID."}, {6690, 42, "QUAL."},
    {6980, 41, "J. RENDERING"}, {6980, 42, "PROVIDER ID. #"},
    {Left, 55, "25. FEDERAL TAX I.D. NUMBER       SSN  EIN"},
    {2470, 55, "26. PATIENT'S ACCOUNT NO."},
    {4660, 55, "27. ACCEPT", 5},
    {ColumnB, 55, "28. TOTAL CHARGE"}, {6310, 55, "29. AMOUNT PAID"}, {7270, 55, "30. Rsvd for NUCC Use"},
    {Left, 57, "31. SIGNATURE OF PHYSICIAN OR SUPPLIER"}, {Left, 58, "INCLUDING DEGREES OR CREDENTIALS"},
    {2470, 57, "32. SERVICE FACILITY LOCATION INFORMATION"},
    {ColumnB, 57, "33. BILLING PROVIDER INFO & PH #"},
    {Left, 61, "SIGNED                         DATE"},
    {2470, 61, "a."}, {3640, 61, "b."}, {ColumnB, 61, "a."}, {6350, 61, "b."},
};

void titles(QPainter& p)
{
    for (std::span<const Title> table : {std::span<const Title>(PatientTitles), std::span<const Title>(ServiceTitles)})
        for (const Title& t : table)
            text(p, t.x + 25, line(t.line) + 10, QString::fromLatin1(t.text), t.points);
    text(p, 4685, line(55) + 85, QStringLiteral("ASSIGNMENT?"), 5);
}

// Check boxes at the data positions of their marks, with their labels.
void checkBoxes(QPainter& p)
{
    checkBox(p, 4433, 1802, QStringLiteral("M"));
    checkBox(p, 4933, 1802, QStringLiteral("F"));
    const char* relations[] = {"Self", "Spouse", "Child", "Other"};
    const int relationX[] = {3533, 4033, 4433, 4933};
    for (int i = 0; i < 4; ++i)
        checkBox(p, relationX[i], 2135, QString::fromLatin1(relations[i]));
    for (int y : {3469, 3802, 4135}) {
        checkBox(p, 3733, y, QStringLiteral("YES"));
        checkBox(p, 4333, y, QStringLiteral("NO"));
    }
    checkBox(p, 7033, 3469, QStringLiteral("M"));
    checkBox(p, 7733, 3469, QStringLiteral("F"));
    for (int y : {4469, 6135}) {
        checkBox(p, 5433, y, QStringLiteral("YES"));
        checkBox(p, 5933, y, QStringLiteral("NO"));
    }
    checkBox(p, 1933, 9469);
    checkBox(p, 2133, 9469);
    checkBox(p, 4033, 9469, QStringLiteral("YES"));
    checkBox(p, 4533, 9469, QStringLiteral("NO"));
}

// Box 21's twelve underlined blanks A-L and the telephone parentheses.
void blanks(QPainter& p)
{
    const int xs[] = {533, 1833, 3133, 4433};
    const int ys[] = {6469, 6635, 6802};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            text(p, xs[c] - 120, ys[r] + 50, QString(QChar('A' + r * 4 + c)) + QLatin1Char('.'), 7);
            hrule(p, xs[c], xs[c] + 900, ys[r] + 160);
        }
    for (int x : {1733, 6733, 6833})
        text(p, x - 80, (x == 6833 ? 9635 : 2802) + 10, QStringLiteral("(         )"), 9);
    hrule(p, 3800, 5150, line(31) - 30);
}

// Grid rules of the form outside box 24.
void frame(QPainter& p)
{
    rule(p, Left, HeavyTop + 15, Right, HeavyTop + 15, Heavy);
    rule(p, Left, HeavyMiddle + 10, Right, HeavyMiddle + 10, 20);
    rule(p, Left, HeavyBottom + 15, Right, HeavyBottom + 15, Heavy);
    vrule(p, Left, HeavyTop, HeavyBottom + 30);
    vrule(p, Right, HeavyTop, HeavyBottom + 30);
    for (int n : {9, 11, 13, 17, 19, 21, 23, 25, 27, 33, 35, 37, 41, 43, 55, 57})
        hrule(p, Left, Right, line(n));
    hrule(p, Left, ColumnA, line(15));
    hrule(p, ColumnB, Right, line(15));
    hrule(p, ColumnB, Right, line(39));
    hrule(p, ColumnA, ColumnB, line(34));
    hrule(p, 2470, Right, line(61));
    vrule(p, ColumnB, line(7), line(27));
    vrule(p, ColumnA, line(9), line(17));
    vrule(p, ColumnA, line(17), line(27));
    vrule(p, 2970, line(31), line(33));
    vrule(p, ColumnB, line(31), line(41));
    vrule(p, ColumnA, line(33), line(35));
    vrule(p, 3420, line(33), line(34));
    shade(p, ColumnA + 5, line(33) + 5, ColumnB - 5, line(34));
    vrule(p, 2790, line(13), line(15));
    vrule(p, 7560, line(13), line(15));
    vrule(p, 1590, line(15), line(17));
    vrule(p, 6480, line(15), line(17));
    vrule(p, 5430, line(22), line(23));
    vrule(p, 7310, line(36), line(37));
    vrule(p, 6340, line(38), line(39));
    for (int x : {2470, 4660, ColumnB, 6310, 7270})
        vrule(p, x, line(55), line(57));
    for (int x : {2470, ColumnB})
        vrule(p, x, line(57), HeavyBottom);
    vrule(p, 3640, line(61), HeavyBottom);
    vrule(p, 6350, line(61), HeavyBottom);
    shade(p, 3645, line(61) + 5, ColumnB - 5, HeavyBottom);
    shade(p, 6355, line(61) + 5, Right - 5, HeavyBottom);
}

// Box 24: headings and six service lines, the upper half of each shaded.
void serviceLines(QPainter& p)
{
    static constexpr int Dividers[] = {560, 850, 1160, 1450, 1770, 2060, 2380, 2680, 3410, 3760,
                                       4060, 4360, 4670, 5190, 5820, 6080, 6480, 6690, 6980};
    vrule(p, 1160, line(42), line(43));
    for (int x : {2060, 2380, 2680, 4670, 5190, 6080, 6480, 6690, 6980})
        vrule(p, x, line(41), line(43));
    for (int i = 0; i < ServiceLines; ++i) {
        const int top = line(FirstServiceLine + 2 * i), middle = line(FirstServiceLine + 2 * i + 1);
        const int bottom = line(FirstServiceLine + 2 * i + 2);
        shade(p, Left + 5, top + 5, Right - 5, middle);
        hrule(p, Left, Right, bottom);
        for (int x : Dividers)
            vrule(p, x, middle, bottom);
        vrule(p, 6690, top, bottom);
        vrule(p, 6980, top, bottom);
        QPen dashed(Ink);
        dashed.setWidth(Thin);
        dashed.setStyle(Qt::DashLine);
        p.setPen(dashed);
        p.drawLine(6980, middle, Right, middle);
        text(p, 6720, middle + 40, QStringLiteral("NPI"), 6);
        text(p, 120, top + 30, QString::number(i + 1), 16, true);
    }
}

void footer(QPainter& p)
{
    text(p, 5200, line(56) + 20, QStringLiteral("$"), 7);
    text(p, 6330, line(56) + 20, QStringLiteral("$"), 7);
    text(p, 300, HeavyBottom + 60, QStringLiteral("NUCC Instruction Manual available at: www.nucc.org"), 6.5, true);
    text(p, 3500, HeavyBottom + 60, QStringLiteral("PLEASE PRINT OR TYPE"), 7, true);
    text(p, 5700, HeavyBottom + 60, QStringLiteral("APPROVED OMB-0938-1197 FORM 1500 (02-12)"), 6.5, true);
}

// The vertical labels in the right margin.
void marginLabels(QPainter& p)
{
    struct Label { int top; int bottom; const char* text; };
    static constexpr Label labels[] = {{300, 1250, "CARRIER"},
                                       {HeavyTop, HeavyMiddle, "PATIENT AND INSURED INFORMATION"},
                                       {HeavyMiddle, HeavyBottom, "PHYSICIAN OR SUPPLIER INFORMATION"}};
    for (const Label& l : labels) {
        p.save();
        p.translate(8260, l.top + (l.bottom - l.top) / 2);
        p.rotate(90);
        const QString s = QString::fromLatin1(l.text);
        p.setFont(formFont(6, true));
        const double w = QFontMetricsF(p.font()).horizontalAdvance(s);
        p.setPen(Ink);
        p.drawText(QPointF(-w / 2, -10), s);
        p.restore();
        vrule(p, 8300, l.top + 20, l.top + (l.bottom - l.top) / 2 - int(w / 2) - 40);
        vrule(p, 8300, l.top + (l.bottom - l.top) / 2 + int(w / 2) + 40, l.bottom - 20);
    }
}

} // namespace

void drawCms1500Form(QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    frame(painter);
    serviceLines(painter);
    header(painter);
    planBand(painter);
    titles(painter);
    checkBoxes(painter);
    blanks(painter);
    footer(painter);
    marginLabels(painter);
    painter.restore();
}

} // namespace kestrel::reports
