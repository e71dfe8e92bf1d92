// A browse list embedded in an update form, offscreen: a claim's service
// lines on the second tab of an Invoice form, filled (with their total)
// before that tab is ever shown, adding a line through the list's own keys,
// following the claim number typed on the first tab, and closing the form
// when its lines cannot be read.
#include "browsetesting.h"

#include "shell/browselist.h"
#include "shell/formengine.h"
#include "shell/formwindow.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <array>

using namespace kestrel;
using platform::Decimal;
using shell::BrowseList;
using shell::BrowseOrder;
using shell::FormContext;

namespace {

void addLine(int inv, const char* date, const char* cpt, const char* fee)
{
    platform::clearRecord(data::file::Item, data::bytesOf(data::ITM));
    data::ITM.PAT.set(Decimal(1));
    data::ITM.PRV.set(Decimal(2));
    data::ITM.INV.set(Decimal(inv));
    data::ITM.DOSF.set(date);
    data::ITM.CPT.set(cpt);
    data::ITM.FEE.set(*Decimal::parse(fee));
    ASSERT_EQ(data::recordFile(data::file::Item).add(), 0);
}

class EmbeddedList : public test::BrowseFixture {
protected:
    shell::BrowseDefinition lines;
    shell::FormDefinition form;
    BrowseList* list = nullptr;
    QLabel* total = nullptr;
    int editorCalls = 0;

    void SetUp() override
    {
        BrowseFixture::SetUp();
        useFiles({&data::file::Item, &data::file::Invoice});
        addLine(10, "20240301", "99213", "20.20");
        addLine(10, "20240105", "99212", "10.10");
        addLine(10, "20240102", "00003", "5.00");
        for (int d = 1; d <= 9; ++d) addLine(11, ("2023120" + std::to_string(d)).c_str(), "99214", "1.11");
        platform::clearRecord(data::file::Invoice, data::bytesOf(data::INV));
        data::INV.PAT.set(Decimal(1));
        data::INV.PRV.set(Decimal(2));
        data::INV.INV.set(Decimal(10));
        ASSERT_EQ(data::recordFile(data::file::Invoice).add(), 0);

        auto sum = [this] {
            if (auto s = list->engine().sumView({"ITM:FEE"})) total->setText(QString::fromStdString((*s)[0].toString()));
        };
        lines = shell::BrowseDefinition{
            .file = "Item",
            .list = 2,
            .listTip = "Service Browser ...",
            .format = "40R(2)|~Date~@d2@40L(2)|~CPT/HCPCS~@s7@56R(2)|~$ Charges~@n-14.2@",
            .queue = {"ITM:DOSF", "ITM:CPT", "ITM:FEE", "ITM:INV"},
            .orders = {BrowseOrder("ITM:INVDOSKEY", {"INV:INV", "INV:PAT", "INV:PRV"},
                                   "ITM:PAT = BRW2::Sort1:Reset:INV:PAT AND ITM:PRV = BRW2::Sort1:Reset:INV:PRV AND "
                                   "ITM:INV = BRW2::Sort1:Reset:INV:INV AND (ITM:FEE > -.01 AND ITM:CPT<>000003)")
                           .limiting({"ITM:INV", "ITM:PAT", "ITM:PRV"})},
            .buttons = {"&Add", "&Delete", "&Change"},
            // The line editor, as far as the list sees it: a line added.
            .updateForm =
                [this] {
                    ++editorCalls;
                    shell::CallState s = shell::CallState::takeOver();
                    data::ITM.DOSF.set("20240201");
                    data::ITM.CPT.set("99211");
                    data::ITM.FEE.set(*Decimal::parse("5.55"));
                    s.localResponse = data::recordFile(data::file::Item).add() == 0 ? shell::Response::Completed
                                                                                    : shell::Response::Cancelled;
                    s.giveBack();
                },
            .onReloaded = sum,
            .afterCall = sum,
        };
        form = shell::FormDefinition{
            .file = "Invoice",
            .title = "Claim",
            .insertTitle = "Record will be added",
            .changeTitle = "Record will be changed",
            .buttons = {"&Save", "&Close"},
            .tabs = {{"  Header  ",
                      {shell::entry("Invoice", "INV:INV", "@n07").accepting([](FormContext& c) {
                          c.redisplay();
                          return shell::Verdict::Go;
                      })}},
                     {"  Services  ", {shell::heading("F24.")}}},
            .alsoUses = {"Item"},
            // The form's own refresh brings the list up to date.
            .onRedisplay = [this](FormContext&) { list->refresh(); },
            .onWindowBuilt =
                [this](shell::FormWindow& w) {
                    list = new BrowseList(lines, &w);
                    list->placeOnTab(w.sheet(), 1, QRect(8, 30, 420, 180));
                    total = new QLabel(w.sheet()->widget(1));
                    total->setGeometry(8, 186, 120, 20);  // beside the list's buttons
                    list->start();
                },
        };
    }
};

TEST_F(EmbeddedList, ServiceLinesOnAFormTab)
{
    ASSERT_EQ(data::recordFile(data::file::Invoice).get(data::file::Invoice.keyIndex("INV:INVKEY")), 0);
    shell::CallRequest = shell::Request::Change;
    shell::FormEngine engine(form);
    ASSERT_EQ(engine.open(), shell::FormEngine::Opening::ShowWindow);
    shell::FormWindow window(engine);

    // Filled for the claim before its tab was ever shown, with its total.
    EXPECT_FALSE(list->isVisible());
    ASSERT_EQ(list->engine().entryCount(), 2);
    EXPECT_EQ(total->text(), "30.30");
    EXPECT_EQ(shell::CallRequest, shell::Request::None);  // the list takes no request of its own

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.sheet()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 5000));
    QTableView* view = list->list();
    EXPECT_EQ(view->model()->data(view->model()->index(0, 0)).toString(), "01/05/2024");
    EXPECT_EQ(view->model()->data(view->model()->index(1, 2)).toString(), "20.20");

    // Insert in the list calls its editor; the page comes back on the new
    // line and the total follows.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Insert);
    ASSERT_TRUE(QTest::qWaitFor([&] { return editorCalls == 1; }, 5000)) << "editorCalls";
    ASSERT_TRUE(QTest::qWaitFor([&] { return total->text() == QStringLiteral("35.85"); }, 5000)) << "total->text()";
    EXPECT_EQ(view->currentIndex().row(), 1);
    EXPECT_EQ(view->model()->data(view->model()->index(1, 0)).toString(), "02/01/2024");
    EXPECT_EQ(data::INV.INV.value(), Decimal(10));  // the form's record is untouched
    // The form grew to hold the list; its buttons stay under the sheet.
    EXPECT_LT(list->geometry().bottom(), window.sheet()->widget(1)->height());
    EXPECT_LT(list->geometry().right(), window.sheet()->widget(1)->width());
    EXPECT_GT(window.saveButton()->y(), window.sheet()->geometry().bottom());
    EXPECT_LE(window.cancelButton()->geometry().right(), window.width());
    window.grab().save("/tmp/browseeng-embedded.png");

    // The claim number typed on the first tab: the list follows it at the
    // form's refresh, a full page with its scroll bar.
    window.sheet()->setCurrentIndex(0);
    QLineEdit* number = window.entryOf("INV:INV");
    number->setFocus();
    number->selectAll();
    QTest::keyClicks(number, "11");
    QTest::keyClick(number, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return total->text() == QStringLiteral("9.99"); }, 5000)) << "total->text()";
    EXPECT_EQ(list->engine().entryCount(), list->pageSize());
    EXPECT_LT(list->pageSize(), 9);
    window.sheet()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->thumbBar()->isVisible(); }, 5000));

    // Lines that cannot be read close the form. (The first read of the
    // refresh re-reads the highlighted line; the second fills the page.)
    platform::faults::failOn(platform::faults::Operation::Read, "Item", 2, platform::errc::DriverError);
    window.sheet()->setCurrentIndex(0);
    number->setFocus();
    number->selectAll();
    QTest::keyClicks(number, "10");
    QTest::keyClick(number, Qt::Key_Tab);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window.isVisible(); }, 5000));
    EXPECT_EQ(messages.numbers(), std::vector<int>{35});
    engine.attach(nullptr);
    engine.cancel();
}

// Columns wider than the list: a text column widened for its picture gives
// the width back (down to its design) before the amounts at the right are
// pushed out of sight, and only as much as the list lacks.
TEST_F(EmbeddedList, TextColumnsGiveWayToTheAmounts)
{
    lines.format = "40R(2)|~Date~@d2@100L(2)|~CPT/HCPCS~@s26@56R(2)|~$ Charges~@n-14.2@";
    ASSERT_EQ(data::recordFile(data::file::Invoice).get(data::file::Invoice.keyIndex("INV:INVKEY")), 0);
    shell::CallRequest = shell::Request::Change;
    shell::FormEngine engine(form);
    ASSERT_EQ(engine.open(), shell::FormEngine::Opening::ShowWindow);
    shell::FormWindow window(engine);
    window.show();
    window.sheet()->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->isVisible(); }, 5000));
    QTableView* view = list->list();
    const int chrome = 2 * view->frameWidth() + list->thumbBar()->sizeHint().width();
    auto widthsAt = [&](int room) {
        list->resize(room + chrome, list->height());
        return std::array{view->columnWidth(0), view->columnWidth(1), view->columnWidth(2)};
    };
    const auto narrow = widthsAt(100);  // every text column at its design, the amounts unstretched
    const auto wide = widthsAt(2000);   // every column as its picture needs
    EXPECT_EQ(narrow[0], wide[0]);      // a date keeps its room
    ASSERT_GT(wide[1] - narrow[1], 10);
    const int room = wide[0] + wide[1] + narrow[2] - 10;
    const auto fitted = widthsAt(room);
    EXPECT_EQ(fitted[1], wide[1] - 10);
    EXPECT_EQ(view->columnViewportPosition(2) + fitted[2], view->viewport()->width());
    engine.attach(nullptr);
    engine.cancel();
}

} // namespace
