// The Qt browse window's own parts, offscreen: pictures in the columns,
// column widths, computed queue fields and a detail panel following the highlight, the
// wheel, the buttons' states on an empty list, and Enter in a lookup.
#include "browsetesting.h"

#include "shell/browsewindow.h"

#include "platform/listformat.h"
#include "shell/dialogunits.h"
#include "support/guiactions.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

using namespace kestrel;
using shell::BrowseRole;
using shell::BrowseWindow;

namespace {

using test::settle;

class ProviderWindow : public test::BrowseFixture {
protected:
    shell::BrowseDefinition def;
    int formCalls = 0;

    void SetUp() override
    {
        BrowseFixture::SetUp();
        useFiles({&data::file::Provider});
        def = shell::BrowseDefinition{
            .file = "Provider",
            .title = "Provider of Service Browser",
            .heading = "PROVIDER MANAGER",
            .listTip = "Provider browser ...",
            .format = "150L(4)|F~Provider Name~@s29@16C|F~MD#~@n03@",
            .queue = {"PRV:PNAME", "PRV:PRV", "PRV:GNAME",
                      shell::computed("MAILTO", 29,
                                      [] {
                                          const auto& name = data::PRV.GIDX.isBlank() ? data::PRV.PNAME
                                                                                      : data::PRV.GNAME;
                                          return std::string(name.view());
                                      }),
                      "PRV:GIDX"},
            .orders = {{"PRV:LNAMEKEY"}},
            .buttons = {"&Select", "&Add", "&Change", shell::BrowseButton("&Delete").doesNothing(), "&Close",
                        "Help"},
            .updateForm =
                [this] {
                    ++formCalls;
                    shell::CallState s = shell::CallState::takeOver();
                    s.giveBack();
                },
        };
    }

    void addProvider(int number, const char* name, const char* group, bool billsAsGroup)
    {
        test::addProvider(number, name, [&] {
            data::PRV.GNAME.set(group);
            data::PRV.GIDX.set(billsAsGroup ? "X" : "");
        });
    }
};

TEST_F(ProviderWindow, ComputedFieldAndDetailPanelFollowTheHighlight)
{
    addProvider(1, "ADAMS", "NORTH CLINIC", true);
    addProvider(12, "BAKER", "SOUTH CLINIC", false);
    auto* mailTo = new QLabel;
    mailTo->resize(200, 40);
    std::unique_ptr<BrowseWindow> w;
    shell::BrowsePanel panel{mailTo, [&] {
                                 auto& e = w->engine();
                                 const int field = e.queueFieldIndex("BRW1::MAILTO");
                                 mailTo->setText(e.entryCount() ? QString::fromStdString(std::get<std::string>(
                                                                      e.value(e.highlighted(), field)))
                                                                : QString());
                             }};
    w = std::make_unique<BrowseWindow>(def, nullptr, panel);
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
    settle();

    auto* model = w->list()->model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "Provider Name");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "MD#");
    EXPECT_EQ(model->data(model->index(0, 1)).toString(), "001");  // @n03
    EXPECT_EQ(model->data(model->index(1, 1)).toString(), "012");
    EXPECT_EQ(mailTo->parentWidget(), w.get());
    EXPECT_EQ(mailTo->text(), "NORTH CLINIC");  // billing under the group name

    QTest::keyClick(w->list(), Qt::Key_Down);
    settle();
    EXPECT_EQ(mailTo->text(), "BAKER");
    EXPECT_EQ(data::PRV.PNAME.trimmed(), "BAKER");  // copy-back

    // Delete does nothing in this browse, by button or key.
    QTest::keyClick(w->list(), Qt::Key_Delete);
    w->button(BrowseRole::Delete)->click();
    settle();
    EXPECT_EQ(formCalls, 0);
    EXPECT_EQ(w->engine().entryCount(), 2);
}

TEST_F(ProviderWindow, EmptyListDisablesChangeAndDeleteAndHidesTheScrollBar)
{
    BrowseWindow w(def);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    settle();
    EXPECT_EQ(w.list()->model()->rowCount(), 0);
    EXPECT_FALSE(w.button(BrowseRole::Change)->isEnabled());
    EXPECT_FALSE(w.button(BrowseRole::Delete)->isEnabled());
    EXPECT_TRUE(w.button(BrowseRole::Add)->isEnabled());
    EXPECT_FALSE(w.thumbBar()->isVisible());
    QTest::keyClick(w.list(), Qt::Key_Return, Qt::ControlModifier);
    settle();
    EXPECT_EQ(formCalls, 0);
    QTest::keyClick(w.list(), Qt::Key_Insert);
    settle();
    EXPECT_EQ(formCalls, 1);
}

TEST_F(ProviderWindow, AClickBelowTheRowsOrOnTheHighlightKeepsTheHighlightedRecordShown)
{
    addProvider(1, "ADAMS", "", false);
    addProvider(2, "BAKER", "", false);
    addProvider(3, "CLARK", "", false);
    BrowseWindow w(def);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    settle();
    QTableView* list = w.list();
    QWidget* viewport = list->viewport();
    auto shown = [&] {
        const auto rows = list->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows.front().row() + 1 : 0;
    };
    QTest::mouseClick(viewport, Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    settle();
    ASSERT_EQ(w.engine().highlighted(), 2);
    ASSERT_EQ(shown(), 2);

    // A click, and a drag from a row, into the empty area below the rows.
    const QPoint empty(20, viewport->height() - 4);
    ASSERT_FALSE(list->indexAt(empty).isValid());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, empty);
    settle();
    EXPECT_EQ(shown(), 2);
    EXPECT_EQ(w.engine().highlighted(), 2);
    EXPECT_TRUE(list->hasFocus());
    QTest::mousePress(viewport, Qt::LeftButton, {}, list->visualRect(list->model()->index(0, 0)).center());
    QMouseEvent move(QEvent::MouseMove, empty, viewport->mapToGlobal(empty), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, empty);
    settle();
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(w.engine().highlighted(), 1);

    // Ctrl+click on the highlighted row would deselect it in a plain list.
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier,
                      list->visualRect(list->model()->index(0, 0)).center());
    settle();
    EXPECT_EQ(shown(), 1);

    // Change edits the record the list shows.
    w.button(BrowseRole::Change)->click();
    settle();
    EXPECT_EQ(formCalls, 1);
    EXPECT_EQ(data::PRV.PNAME.trimmed(), "ADAMS");
}

// The list is designed to show twelve rows, under its header if it has one.
TEST_F(ProviderWindow, ListsWithAndWithoutAHeaderShowTheirDesignedRows)
{
    for (int i = 1; i <= 30; ++i) addProvider(i, QStringLiteral("DOCTOR %1").arg(i).toLatin1(), "", false);
    for (const char* format : {"150L(4)|F~Provider Name~@s29@16C|F~MD#~@n03@", "150L(4)|F@s29@16C|F@n03@"}) {
        def.format = format;
        BrowseWindow w(def);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        settle();
        EXPECT_EQ(w.pageSize(), 12) << format;
        EXPECT_EQ(w.engine().entryCount(), 12) << format;
        EXPECT_EQ(w.list()->viewport()->height() % w.list()->rowHeight(0), 0) << format;
    }
}

TEST_F(ProviderWindow, WheelScrollsRowByRow)
{
    for (int i = 1; i <= 40; ++i) addProvider(i, QStringLiteral("DOCTOR %1").arg(i, 2, 10, QChar('0')).toLatin1(), "", false);
    BrowseWindow w(def);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    settle();
    const int page = w.pageSize();
    ASSERT_EQ(w.engine().entryCount(), page);
    ASSERT_TRUE(w.thumbBar()->isVisible());

    // One notch down: as many rows as a wheel step scrolls, past the page end.
    const QPoint at = w.list()->viewport()->rect().center();
    QWheelEvent down(at, w.list()->viewport()->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    for (int i = 0; i < 2 * page / QApplication::wheelScrollLines() + 1; ++i)
        QApplication::sendEvent(w.list()->viewport(), &down);
    settle();
    const int rows = (2 * page / QApplication::wheelScrollLines() + 1) * QApplication::wheelScrollLines();
    EXPECT_EQ(w.engine().highlighted(), page);
    EXPECT_EQ(w.list()->model()->data(w.list()->model()->index(page - 1, 0)).toString(),
              QStringLiteral("DOCTOR %1").arg(1 + rows, 2, 10, QChar('0')));
}

TEST_F(ProviderWindow, EnterInALookupPressesSelect)
{
    addProvider(1, "ADAMS", "", false);
    addProvider(2, "BAKER", "", false);
    data::PRV.PNAME.set("B");
    shell::CallRequest = shell::Request::Select;
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog) return;
        timer->stop();
        timer->deleteLater();
        auto* w = dialog->findChild<BrowseWindow*>();
        settle();
        QTest::keyClick(w->list(), Qt::Key_Return);
    });
    timer->start();
    EXPECT_EQ(BrowseWindow::runModal(def), shell::Response::Completed);
    EXPECT_EQ(data::PRV.PNAME.trimmed(), "BAKER");
}

TEST_F(ProviderWindow, NarrowColumnsHoldTheirWholeValuesAndLongPicturesKeepTheirDesign)
{
    // A name column drawn far narrower than its picture, a right-aligned
    // code with an indent, and a centred number.
    def.format = "40L(2)|F~Name~@s29@14R(2)|F~AC~@s3@16C|F~MD#~@n03@";
    def.queue = {"PRV:PNAME", "PRV:PAREACODE", "PRV:PRV"};
    platform::clearRecord(data::file::Provider, data::bytesOf(data::PRV));
    data::PRV.PRV.set(platform::Decimal(808));
    data::PRV.PNAME.set("MAXIMILIAN WORTHINGTON-SMYTHE");
    data::PRV.PAREACODE.set("D0W");
    ASSERT_EQ(data::recordFile(data::file::Provider).add(), 0);

    BrowseWindow w(def);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    settle();
    QTableView* list = w.list();
    ASSERT_EQ(list->model()->rowCount(), 1);
    const auto format = platform::ListFormat::from(def.format);
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const QFontMetrics fm(list->font());
    auto room = [&](int c) { return list->visualRect(list->model()->index(0, c)).width(); };
    auto needs = [&](int c) {
        const int indent = format[c].align == platform::ListColumn::Align::Center
                               ? 0
                               : shell::dialogUnitsToPixelsX(format[c].indent, list->font());
        return fm.horizontalAdvance(list->model()->index(0, c).data().toString()) + 2 * margin + indent;
    };
    EXPECT_EQ(list->model()->index(0, 1).data().toString(), "D0W");
    EXPECT_EQ(list->model()->index(0, 2).data().toString(), "808");
    EXPECT_LE(needs(1), room(1));
    EXPECT_LE(needs(2), room(2));

    // The name shows its start, as drawn: its column keeps the designed
    // width rather than growing to 29 capitals.
    EXPECT_EQ(list->columnWidth(0), shell::dialogUnitsToPixelsX(40, list->font()));
    EXPECT_GT(needs(0), room(0));

    // Even the short headers read whole.
    QHeaderView* header = list->horizontalHeader();
    const int headerMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int c = 0; c < format.count(); ++c)
        EXPECT_LE(QFontMetrics(header->font()).horizontalAdvance(format[c].header) + 2 * headerMargin,
                  header->sectionSize(c))
            << format[c].header.toStdString();
}

} // namespace
