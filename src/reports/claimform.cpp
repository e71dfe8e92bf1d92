#include "reports/claimform.h"

#include <QDate>

namespace kestrel::reports {

DateParts dateParts(const QString& stored, bool twoDigitYear)
{
    const QDate date = QDate::fromString(stored.trimmed(), QStringLiteral("yyyyMMdd"));
    if (!date.isValid())
        return {};
    return {date.toString(QStringLiteral("MM")), date.toString(QStringLiteral("dd")),
            date.toString(twoDigitYear ? QStringLiteral("yy") : QStringLiteral("yyyy"))};
}

QString amountText(long long cents, int width)
{
    if (cents == 0)
        return {};
    const long long whole = cents < 0 ? -cents : cents;
    const QString digits = QStringLiteral("%1%2.%3")
                               .arg(cents < 0 ? QStringLiteral("-") : QString())
                               .arg(whole / 100)
                               .arg(whole % 100, 2, 10, QLatin1Char('0'));
    return digits.rightJustified(width, QLatin1Char(' '));
}

bool isTransactionCode(const QString& cpt)
{
    static const QStringList codes = {"00001", "00002", "00003", "00004", "00005"};
    return codes.contains(cpt.trimmed());
}

namespace {

void place(Page& page, int x, int y, const QString& text, int chars)
{
    if (!text.isEmpty())
        page.texts.push_back({.x = x, .y = y, .text = text.left(chars)});
}

// Box 24 of line n (0-based on its page).
void placeLine(Page& page, const ServiceLine& s, int n)
{
    const int band = DetailTop + DetailBandHeight * n;
    const int shaded = band + ShadedLineOffset, main = band + MainLineOffset;
    place(page, 438, shaded, s.description, 48);
    place(page, 6490, shaded, s.epsdtShaded, 2);
    place(page, 6750, shaded, s.renderingQualifier, 2);
    place(page, 7042, shaded, s.renderingNpi, 11);
    const DateParts from = dateParts(s.from, true), to = dateParts(s.to, true);
    const int dateX[] = {406, 688, 958, 1271, 1573, 1854};
    const QString parts[] = {from.month, from.day, from.year, to.month, to.day, to.year};
    for (int i = 0; i < 6; ++i)
        place(page, dateX[i], main, parts[i], 2);
    place(page, 2146, main, s.pos, 2);
    place(page, 2365, main, s.emg, 2);
    place(page, 2802, main, s.cpt, 7);
    const int modifierX[] = {3521, 3823, 4115, 4427};
    for (int i = 0; i < 4; ++i)
        place(page, modifierX[i], main, s.modifiers[i], 2);
    place(page, 4729, main, s.pointers, 4);
    place(page, 5167, main, amountText(s.feeCents), 9);
    place(page, 6125, band + UnitsLineOffset, s.units, 3);
    place(page, 6542, main, s.epsdtUnit, 1);
    place(page, 7042, main, s.renderingId, 10);
}

void closePage(std::vector<Page>& pages, long long totalCents)
{
    place(pages.back(), TotalX, TotalY, amountText(totalCents), 9);
}

} // namespace

std::vector<Page> claimPages(const std::vector<PlacedText>& header, const std::vector<ServiceLine>& lines)
{
    std::vector<Page> pages;
    long long total = 0;
    for (size_t i = 0; i < std::max<size_t>(lines.size(), 1); ++i) {
        if (i % LinesPerForm == 0) {
            if (!pages.empty())
                closePage(pages, total);
            pages.push_back(Page{.texts = header});
            total = 0;
        }
        if (i < lines.size()) {
            placeLine(pages.back(), lines[i], int(i % LinesPerForm));
            total += lines[i].feeCents;
        }
    }
    closePage(pages, total);
    return pages;
}

} // namespace kestrel::reports
