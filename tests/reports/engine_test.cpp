// The report engine cutting rows into pages, and the page sinks.
#include "reports/layoutwriter.h"
#include "reports/pagesink.h"
#include "reports/report.h"

#include "support/tempdir.h"

#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <gtest/gtest.h>

using namespace kestrel::reports;

namespace {

TextControl control(const QString& name, int x, int y, int width, const QString& text = {})
{
    TextControl c;
    c.name = name;
    c.x = x;
    c.y = y;
    c.width = width;
    c.text = text;
    return c;
}

// A claim-form-like report: name in the header, six 333-mil lines in the
// detail area from 8000 to 10000, the page's total in the footer.
ReportLayout claimLikeLayout()
{
    ReportLayout layout;
    layout.form.controls.push_back(control("Title", 100, 100, 0, "CLAIM"));
    layout.form.controls.push_back(control("Box29", 7000, 10400, 0, "0.00"));
    layout.form.controls.back().hidden = true;
    layout.pageHeader.controls.push_back(control("Name", 250, 0, 2900));
    layout.pageHeaderTop = 1500;
    layout.detailTop = 8000;
    layout.detailBottom = 8000 + 6 * 333;
    layout.pageFooter.controls.push_back(control("Total", 6000, 0, 900));
    layout.pageFooter.controls.back().align = Qt::AlignRight;
    layout.pageFooterTop = 10400;
    return layout;
}

Band lineBand(const QString& code, int cents)
{
    Band b;
    b.height = 333;
    b.controls.push_back(control("Code", 1500, 50, 0, code));
    b.controls.push_back(control("Amount", 5000, 50, 800, QString::number(cents)));
    return b;
}

} // namespace

TEST(ReportEngine, DetailAreaFullGroupBreaksHeaderAndFooterPerPage)
{
    PageList pages;
    Report report(claimLikeLayout(), pages);
    int pageTotal = 0;
    report.pageClosing = [&](int) {
        report.footer().setText("Total", QString::number(pageTotal));
        pageTotal = 0;
    };
    // Claim 1: seven lines (two pages); claim 2: one line; then a forced break and one more.
    for (int i = 1; i <= 7; ++i) {
        report.header().setText("Name", "SMITH, JOHN");
        report.printDetail(lineBand(QString("L%1").arg(i), i), 1);
        pageTotal += i;  // after printing: a line that opens a page counts on the new one
    }
    report.header().setText("Name", "DOE, JANE");
    report.printDetail(lineBand("L8", 100), 2);
    pageTotal += 100;
    report.breakPage();
    report.printDetail(lineBand("L9", 5), 2);
    report.finish();

    ASSERT_EQ(pages.pages.size(), 4u);
    QString layout;
    QTextStream out(&layout);
    writeLayout(pages.pages, out);
    out.flush();
    const QStringList lines = layout.split('\n', Qt::SkipEmptyParts);
    // Page 1: form title, header, six lines of two texts each, footer total 1+..+6 = 21.
    EXPECT_EQ(lines.filter(QRegularExpression("^1,")).size(), 1 + 1 + 12 + 1);
    EXPECT_TRUE(lines.contains("1,100,100,0,CLAIM"));
    EXPECT_TRUE(lines.contains("1,250,1500,2900,\"SMITH, JOHN\""));
    EXPECT_TRUE(lines.contains("1,1500,8050,0,L1"));
    EXPECT_TRUE(lines.contains("1,1500,9715,0,L6"));  // 8000 + 5 x 333 + 50
    EXPECT_TRUE(lines.contains("1,6000,10400,900,21"));
    // Page 2: line 7 at the top of the area, header again, total 7 only.
    EXPECT_TRUE(lines.contains("2,250,1500,2900,\"SMITH, JOHN\""));
    EXPECT_TRUE(lines.contains("2,1500,8050,0,L7"));
    EXPECT_TRUE(lines.contains("2,6000,10400,900,7"));
    // Page 3: the next claim opens a page with its own header; page 4 by the break.
    EXPECT_TRUE(lines.contains("3,250,1500,2900,\"DOE, JANE\""));
    EXPECT_TRUE(lines.contains("3,6000,10400,900,100"));
    EXPECT_TRUE(lines.contains("4,1500,8050,0,L9"));
    EXPECT_TRUE(layout.indexOf("0.00") < 0);  // the hidden control never prints
}

TEST(ReportEngine, NothingPrintedSendsNoPageAndPdfSinkStreamsPagesAndLayout)
{
    PageList none;
    Report empty(claimLikeLayout(), none);
    empty.finish();
    EXPECT_TRUE(none.pages.empty());

    kestrel::test::TempDir dir;
    const QString pdf = dir.path() + "/out.pdf";
    QString layout;
    QTextStream layoutOut(&layout);
    {
        PdfSink sink(pdf, &layoutOut);
        Report report(claimLikeLayout(), sink);
        for (int i = 1; i <= 13; ++i)
            report.printDetail(lineBand(QString("L%1").arg(i), i));
        report.finish();
        QString error;
        EXPECT_TRUE(sink.finish(&error)) << error.toStdString();
        EXPECT_EQ(sink.pageCount(), 3);
    }
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "), 3)
        << "three page objects";
    EXPECT_TRUE(layout.startsWith("1,100,100,0,CLAIM\n"));
    EXPECT_TRUE(layout.contains("3,1500,8050,0,L13\n"));

    PdfSink unwritable(dir.path() + "/no/such/folder/out.pdf");
    unwritable.addPage(Page{});
    QString error;
    EXPECT_FALSE(unwritable.finish(&error));
    EXPECT_TRUE(error.contains("no/such/folder")) << error.toStdString();
}
