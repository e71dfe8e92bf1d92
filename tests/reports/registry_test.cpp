// Reports printed by name into a PDF, as `kestrel print` does.
#include "reports/reportregistry.h"

#include "support/tempdir.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace kestrel::reports;

TEST(ReportRegistry, PrintByNameStreamsPagesLayoutAndProgress)
{
    registerReport({"test-claims", "numbered pages", [](const ReportArguments& args, ReportRun& run) {
                        for (int i = 1; i <= args.claim; ++i) {
                            Page page;
                            page.texts.push_back(PlacedText());
                            page.texts.back().x = 500;
                            page.texts.back().text = QString("claim %1").arg(i);
                            run.pages().addPage(std::move(page));
                            run.setProgress(i * 100 / int(args.claim));
                        }
                    }});
    ASSERT_TRUE(reportNames().contains("test-claims"));
    kestrel::test::TempDir dir;
    ReportArguments args{kestrel::platform::RootDir(dir.path()), 3};
    QString error;
    std::FILE* progress = std::tmpfile();
    EXPECT_EQ(printToPdf("test-claims", args, dir.path() + "/c.pdf", dir.path() + "/c.csv", progress, &error), 3)
        << error.toStdString();
    std::rewind(progress);
    char text[200] = {};
    std::fread(text, 1, sizeof text - 1, progress);
    std::fclose(progress);
    EXPECT_STREQ(text, "\r 33% Completed\r 66% Completed\r100% Completed\n");
    QFile layout(dir.path() + "/c.csv");
    ASSERT_TRUE(layout.open(QIODevice::ReadOnly));
    EXPECT_EQ(layout.readAll(), "1,500,0,0,claim 1\n2,500,0,0,claim 2\n3,500,0,0,claim 3\n");
    EXPECT_GT(QFile(dir.path() + "/c.pdf").size(), 0);

    args.claim = 0;  // nothing to print: no file at all
    EXPECT_EQ(printToPdf("test-claims", args, dir.path() + "/none.pdf", {}, nullptr, &error), 0);
    EXPECT_FALSE(QFile::exists(dir.path() + "/none.pdf"));
    EXPECT_EQ(printToPdf("no-such", args, dir.path() + "/x.pdf", {}, nullptr, &error), -1);
    EXPECT_TRUE(error.contains("test-claims")) << error.toStdString();
}
