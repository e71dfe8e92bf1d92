// The PDF text reader on what the program's own PDF writer makes: two
// pages, texts in two fonts, accented names and figures, read back in page
// and drawing order.
#include "reports/pagesink.h"
#include "support/pdftext.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

using namespace kestrel;

TEST(PdfText, ReadsBackWhatThePdfWriterDrew)
{
    const QString lines[2][3] = {{"DOE, JANE", "Total 210.50", "0000001"}, {"MÜLLER, JOSÉ", "(12) [a] \\ x", ""}};
    std::vector<reports::Page> pages(2);
    for (int p = 0; p < 2; ++p)
        for (int k = 0; k < 3 && !lines[p][k].isEmpty(); ++k) {
            reports::PlacedText t;
            t.x = 500;
            t.y = 500 + 400 * k;
            t.text = lines[p][k];
            if (k == 1) t.font = QFont(QStringLiteral("Courier New"), 14, QFont::Bold);
            pages[p].texts.push_back(t);
        }
    test::TempDir dir;
    const QString file = dir.file("two.pdf");
    ASSERT_TRUE(reports::savePdf(pages, file));

    const auto text = test::readPdfText(file);
    ASSERT_TRUE(text.has_value());
    ASSERT_EQ(text->pages.size(), 2u);
    EXPECT_EQ(text->pages[0], (QStringList{"DOE, JANE", "Total 210.50", "0000001"}));
    EXPECT_EQ(text->pages[1], (QStringList{"MÜLLER, JOSÉ", "(12) [a] \\ x"}));
    EXPECT_TRUE(text->pageShows(1, "MÜLLER, JOSÉ"));
    EXPECT_FALSE(text->pageShows(0, "MÜLLER, JOSÉ"));
    EXPECT_FALSE(test::readPdfText(dir.file("missing.pdf")).has_value());
}
