// The report preview window, driven as a user would.
#include "reports/previewwindow.h"

#include "shell/callprotocol.h"
#include "shell/printersettings.h"
#include "support/previewexit.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrel::reports;

namespace {
std::vector<Page> numberedPages(int count)
{
    std::vector<Page> pages(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        PlacedText t;
        t.x = 1000;
        t.y = 1000;
        t.text = QStringLiteral("Page number %1").arg(i + 1);
        t.font.setPointSize(72);
        pages[size_t(i)].texts.push_back(t);
        pages[size_t(i)].rules.push_back(PlacedRule{500, 500, 8000, 10500, 40, Qt::black});
    }
    return pages;
}
} // namespace

TEST(ReportPreviewGrid, CellsKeepThePageProportionsWithGapsOfThree)
{
    const ThumbnailGrid g = ThumbnailGrid::fit(QSize(800, 600), 2, 2, 11.0 / 8.5);
    EXPECT_EQ(g.cellHeight, 297);  // (600 - 5) / 2
    EXPECT_EQ(g.cellWidth, 229);   // 297 / 1.294, fraction dropped
    EXPECT_EQ(g.cell(3), QRect(1, 301, 229, 297));
    EXPECT_EQ(g.cell(2).left(), 1 + 229 + 3);
    EXPECT_EQ(g.cellAt(QPoint(240, 400)), 4);
    EXPECT_EQ(g.cellAt(QPoint(231, 10)), 0);  // in the gap
    const ThumbnailGrid wide = ThumbnailGrid::fit(QSize(800, 2000), 1, 1, 11.0 / 8.5);
    EXPECT_EQ(wide.cellWidth, 798);
    EXPECT_EQ(wide.cellHeight, int(798 * 11.0 / 8.5));
}

TEST(ReportPreview, OnePageDisablesPagingAndExitAnswersTwo)
{
    const std::vector<Page> pages = numberedPages(1);
    PreviewWindow window(pages);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.windowTitle(), "Report Preview");
    EXPECT_FALSE(window.pageSpin()->isEnabled());
    EXPECT_FALSE(window.acrossSpin()->isEnabled());
    EXPECT_FALSE(window.downSpin()->isEnabled());
    EXPECT_FALSE(window.viewMenu()->isEnabled());
    EXPECT_EQ(window.pageStatus(), "Page 1 of 1");
    EXPECT_EQ(window.zoomStatus(), "No Zoom");
    window.grab().save("/tmp/reports-engine-preview1.png");

    kestrel::shell::CallResponse = kestrel::shell::Response::None;
    QTimer::singleShot(0, &window, [&] { QTest::keyClick(&window, Qt::Key_Escape); });
    window.hide();
    EXPECT_EQ(window.exec(), 2);
    const std::vector<Page> again = numberedPages(1);
    QTimer::singleShot(0, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<PreviewWindow*>(w); p && p->isVisible())
                p->printAction()->trigger();
    });
    EXPECT_EQ(previewReport(again), kestrel::shell::Response::Completed);
    EXPECT_EQ(kestrel::shell::CallResponse, kestrel::shell::Response::Completed);
}

TEST(ReportPreview, TenPagesTwoByTwoPagingThumbnailClickAndTypedPage)
{
    const std::vector<Page> pages = numberedPages(10);
    PreviewWindow window(pages);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(window.pageSpin()->toolTip(), "Enter a page number from 1 to 10");
    EXPECT_FALSE(window.previousAction()->isEnabled());
    window.acrossSpin()->setValue(2);
    window.downSpin()->setValue(2);
    EXPECT_EQ(window.pageStatus(), "Pages 1-4 of 10");
    window.grab().save("/tmp/reports-engine-preview4.png");

    QTest::keyClick(&window, Qt::Key_PageDown);
    EXPECT_EQ(window.pageStatus(), "Pages 5-8 of 10");
    EXPECT_TRUE(window.previousAction()->isEnabled());
    const QRect third = window.cellRect(3);

    window.nextAction()->trigger();
    EXPECT_EQ(window.pageStatus(), "Pages 9-10 of 10");
    EXPECT_TRUE(window.cellShown(2));
    EXPECT_FALSE(window.cellShown(3));
    EXPECT_FALSE(window.cellShown(4));
    EXPECT_FALSE(window.nextAction()->isEnabled());
    window.grab().save("/tmp/reports-engine-preview910.png");

    QTest::keyClick(&window, Qt::Key_PageUp);
    EXPECT_EQ(window.pageStatus(), "Pages 5-8 of 10");
    QTest::mouseClick(window.pageView(), Qt::LeftButton, {}, third.center());
    EXPECT_EQ(window.state().current(), 7);
    EXPECT_EQ(window.zoomStatus(), "Zoom (Page Width)");
    EXPECT_EQ(window.pageStatus(), "Page 7 of 10");
    window.grab().save("/tmp/reports-engine-preview7.png");
    QTest::mouseClick(window.pageView(), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(window.zoomStatus(), "No Zoom");

    window.pageSpin()->selectAll();
    QTest::keyClicks(window.pageSpin(), "99");
    EXPECT_EQ(window.state().current(), 10);
    EXPECT_EQ(window.pageStatus(), "Page 10 of 10");
    EXPECT_EQ(window.pageSpin()->value(), 10);
}

TEST(ReportPreview, ARunsPagesReachThePreviewAndExitPrintsNothing)
{
    kestrel::shell::PrinterSettings settings;
    kestrel::shell::CallResponse = kestrel::shell::Response::None;
    int shownPages = 0;
    kestrel::test::exitNextPreview([&](PreviewWindow& p) { shownPages = p.state().pageCount(); });
    runReport([](ReportRun& run) {
        for (int i = 0; i < 3; ++i)
            run.pages().addPage(Page{});
    }, settings);
    ASSERT_TRUE(QTest::qWaitFor([] { return kestrel::shell::CallResponse != kestrel::shell::Response::None; }, 20000));
    EXPECT_EQ(kestrel::shell::CallResponse, kestrel::shell::Response::Cancelled);
    EXPECT_EQ(shownPages, 3);
}
