#include "reports/layoutwriter.h"

#include "data/csv.h"

#include <QTextStream>

namespace kestrel::reports {

QString layoutLines(const Page& page, int pageNumber)
{
    QString lines;
    for (const PlacedText& t : page.texts) {
        QByteArray row = data::csv::formatRow(
            {QString::number(pageNumber), QString::number(t.x), QString::number(t.y), QString::number(t.width), t.text});
        row.chop(2);  // the row's CRLF; layout files end lines with LF alone
        lines += QString::fromUtf8(row) + QLatin1Char('\n');
    }
    return lines;
}

void writeLayout(const std::vector<Page>& pages, QTextStream& out)
{
    for (size_t i = 0; i < pages.size(); ++i)
        out << layoutLines(pages[i], int(i) + 1);
}

} // namespace kestrel::reports
