// Reports running on worker threads behind "Generating Report".
#include "reports/progress.h"
#include "reports/reportrunner.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace kestrel::reports;
using Outcome = ReportRunner::Outcome;

TEST(ReportProgress, PacingArithmeticAndText)
{
    EXPECT_EQ(ProgressMeter::ofRows(0), 0);
    EXPECT_EQ(ProgressMeter::ofRows(24), 4);    // 4.8 shows as 4
    EXPECT_EQ(ProgressMeter::ofRows(500), 100);
    EXPECT_EQ(ProgressMeter::ofRows(7000), 100);  // capped
    EXPECT_EQ(ProgressMeter::ofBytes(1, 3), 33);
    EXPECT_EQ(ProgressMeter::ofBytes(50, 0), 100);  // an empty file is done at once
    EXPECT_EQ(ProgressMeter::text(7), "  7% Completed");
    EXPECT_EQ(ProgressMeter::text(100), "100% Completed");

    ProgressWindow window;
    EXPECT_EQ(window.windowTitle(), "Generating Report");
    EXPECT_EQ(window.completedText(), "0% Completed");
    window.setPercent(0);  // no change of the whole number: the opening text stays
    EXPECT_EQ(window.completedText(), "0% Completed");
    window.setPercent(42);
    EXPECT_EQ(window.completedText(), " 42% Completed");
    EXPECT_EQ(window.barValue(), 42);
    window.setPercent(250);
    EXPECT_EQ(window.completedText(), "100% Completed");
}

namespace {

// A body that prints `pages` one-text pages, reporting progress, on its thread.
ReportBody pagesBody(int pages, std::atomic<QThread*>* ranOn)
{
    return [pages, ranOn](ReportRun& run) {
        *ranOn = QThread::currentThread();
        for (int i = 1; i <= pages && !run.cancelled(); ++i) {
            Page page;
            page.texts.push_back(PlacedText());
            page.texts.back().text = QString::number(i);
            run.pages().addPage(std::move(page));
            run.setProgress(i * 100 / pages);
        }
    };
}

} // namespace

TEST(ReportRunner, TwoRunsAtOnceOnWorkersOneCancelledAndAnEmptyOne)
{
    std::atomic<QThread*> firstThread{nullptr}, emptyThread{nullptr};
    std::atomic<bool> release{false};

    ReportRunner* pages = ReportRunner::start(pagesBody(3, &firstThread));
    QSignalSpy pagesDone(pages, &ReportRunner::finished);
    std::vector<Page> delivered;
    QObject::connect(pages, &ReportRunner::finished, [&](Outcome o) {
        if (o == Outcome::Pages)
            delivered = std::move(pages->pages());
    });

    // A long run held until cancelled: Cancel ends it at once, before its worker stops.
    ReportRunner* held = ReportRunner::start([&release](ReportRun& run) {
        while (!run.cancelled() && !release)
            QThread::msleep(5);
        run.pages().addPage(Page{});
    });
    QSignalSpy heldDone(held, &ReportRunner::finished);
    QPointer<ReportRunner> heldRunner = held;
    QPointer<ProgressWindow> heldWindow = held->progressWindow();
    ASSERT_TRUE(heldWindow && heldWindow->isVisible());
    QTest::mouseClick(heldWindow->cancelButton(), Qt::LeftButton);
    ASSERT_EQ(heldDone.size(), 1);
    EXPECT_EQ(heldDone[0][0].value<Outcome>(), Outcome::Cancelled);
    EXPECT_TRUE(!heldWindow || !heldWindow->isVisible());

    ReportRunner* empty = ReportRunner::start(pagesBody(0, &emptyThread));
    QSignalSpy emptyDone(empty, &ReportRunner::finished);

    ASSERT_TRUE(QTest::qWaitFor([&] { return pagesDone.size() == 1 && emptyDone.size() == 1; }, 20000));
    EXPECT_EQ(pagesDone[0][0].value<Outcome>(), Outcome::Pages);
    ASSERT_EQ(delivered.size(), 3u);
    EXPECT_EQ(delivered[2].texts.at(0).text, "3");
    EXPECT_EQ(emptyDone[0][0].value<Outcome>(), Outcome::NoPages);
    EXPECT_NE(firstThread.load(), QThread::currentThread());
    EXPECT_NE(emptyThread.load(), QThread::currentThread());
    EXPECT_NE(firstThread.load(), nullptr);
    // The cancelled runner reports nothing more once its worker ends, and goes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldRunner.isNull(); }, 20000));
    EXPECT_EQ(heldDone.size(), 1);
}
