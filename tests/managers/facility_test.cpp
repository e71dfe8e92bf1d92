// The facility browser and editor: the duplicate identifier, the identifier
// whose number is 0, the address under the list and the lookup, on real
// files.
#include "managers/facility.h"

#include "insurtesting.h"
#include "shell/browsewindow.h"
#include "shell/formtesting.h"

#include "platform/listformat.h"
#include "shell/dialogunits.h"

#include <QHeaderView>
#include <QLabel>
#include <QStyle>
#include <QPushButton>
#include <QTableView>
#include <QTest>

using namespace kestrel;
using namespace kestrel::shell;
using test::UserForm;
namespace file = data::file;

namespace {

class FacilityTest : public test::FormTest {
protected:
    void addFacility(const char* id, const char* name, const char* add1 = "", const char* add2 = "")
    {
        addRecord(file::Facility, [&] {
            data::FAC.FACILITYID.set(id);
            data::FAC.FACILTYNAME.set(name);
            data::FAC.FACILITYADD1.set(add1);
            data::FAC.FACILITYADD2.set(add2);
        });
    }
    std::vector<std::string> facilities()
    {
        return records(file::Facility, "FAC:FACILITYIDKEY", [] {
            return std::string(data::FAC.FACILITYID.trimmed()) + " " + std::string(data::FAC.FACILTYNAME.trimmed());
        });
    }
};

TEST_F(FacilityTest, AnIdentifierOnFileShowsTheDuplicateKeyErrorAndTheFormKeepsWhatWasTyped)
{
    addFacility("12-3456789", "MAIN STREET CLINIC");
    UserForm f(managers::facilityForm(), Request::Insert);
    EXPECT_EQ(f.engine.windowTitle(), "Record will be added");
    ASSERT_TRUE(f.type("FAC:FACILITYID", "12-3456789"));
    ASSERT_TRUE(f.type("FAC:FACILTYNAME", "RIVERSIDE ANNEX"));
    f.engine.save();
    EXPECT_FALSE(f.engine.isClosed());
    ASSERT_EQ(messages.numbers(), std::vector<int>{24});
    EXPECT_EQ(messages.shown()[0].title, "Duplicate Key Error");
    EXPECT_TRUE(messages.shown()[0].text.contains("FAC:FACILITYIDkey"));
    EXPECT_EQ(f.host.focused, f.at("FAC:FACILITYID"));
    EXPECT_EQ(f.shown("FAC:FACILTYNAME"), "RIVERSIDE ANNEX");

    ASSERT_TRUE(f.type("FAC:FACILITYID", "12-34567890"));
    f.engine.save();
    EXPECT_EQ(f.engine.response(), Response::Completed);
    EXPECT_EQ(facilities(), (std::vector<std::string>{"12-3456789 MAIN STREET CLINIC", "12-34567890 RIVERSIDE ANNEX"}));
}

TEST_F(FacilityTest, AnIdentifierOfLettersOnlyCountsAsZeroAndClosesTheForm)
{
    for (const char* id : {"ABCDEF", "0", "000-00"}) {
        UserForm f(managers::facilityForm(), Request::Insert);
        EXPECT_FALSE(f.type("FAC:FACILITYID", id)) << id;
        EXPECT_TRUE(f.engine.isClosed()) << id;
        EXPECT_EQ(CallResponse, Response::Cancelled) << id;
    }
    {
        // Saved with no identifier at all: the accept-all pass closes it.
        UserForm f(managers::facilityForm(), Request::Insert);
        ASSERT_TRUE(f.type("FAC:FACILTYNAME", "NO ID CLINIC"));
        f.engine.save();
        EXPECT_EQ(f.engine.response(), Response::Cancelled);
    }
    {
        // An identifier that begins with a digit passes, letters after it
        // and all.
        UserForm f(managers::facilityForm(), Request::Insert);
        ASSERT_TRUE(f.type("FAC:FACILITYID", "9AB"));
        EXPECT_FALSE(f.engine.isClosed());
        ASSERT_TRUE(f.type("FAC:FACILTYNAME", "NINE CLINIC"));
        f.engine.save();
        EXPECT_EQ(f.engine.response(), Response::Completed);
    }
    EXPECT_EQ(facilities(), std::vector<std::string>{"9AB NINE CLINIC"});
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(FacilityTest, TheLookupListsByNameWithTheFacilityLocationUnderTheList)
{
    addFacility("300", "WEST WING", "3 WEST RD", "AKRON OH 44301");
    addFacility("100", "EAST WING", "1 EAST RD", "AKRON OH 44302");
    addFacility("200", "NORTH WING", "2 NORTH RD", "AKRON OH 44303");
    data::clearRecord(file::Facility, data::bytesOf(data::FAC));
    data::FAC.FACILTYNAME.set("N");
    CallRequest = Request::Select;
    std::vector<QString> seen;
    test::whenOpened([&](QWidget* dialog) {
        auto* w = dialog->findChild<BrowseWindow*>();
        ASSERT_NE(w, nullptr);
        test::settle();
        EXPECT_EQ(dialog->windowTitle(), "F32. Service Facility Location Information Browser");
        EXPECT_EQ(w->list()->toolTip(), "Facility records browser ...");
        EXPECT_TRUE(w->button(BrowseRole::Select)->isVisible());
        EXPECT_TRUE(w->button(BrowseRole::Select)->isDefault());
        auto* m = w->list()->model();
        for (int r = 0; r < m->rowCount(); ++r) seen.push_back(m->data(m->index(r, 0)).toString());
        EXPECT_EQ(m->headerData(1, Qt::Horizontal).toString(), "Facility ID");
        QStringList location;
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->text() == "Facility location" || l->accessibleName().startsWith("FAC:")) location << l->text();
        EXPECT_EQ(location, (QStringList{"Facility location", "2 NORTH RD", "AKRON OH 44303"}));

        // The location sits under the list, not beside it, and stays under it
        // (moving down) when the window grows.
        QWidget* panel = nullptr;
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->text() == "Facility location") panel = l->parentWidget();
        ASSERT_NE(panel, nullptr);
        ASSERT_NE(panel, w);
        auto inWindow = [w](QWidget* c) { return QRect(c->mapTo(w, QPoint(0, 0)), c->size()); };
        auto checkBelow = [&] {
            const QRect list = inWindow(w->list()), box = inWindow(panel);
            EXPECT_GT(box.top(), list.bottom());
            EXPECT_LT(box.left(), list.center().x());
            EXPECT_LE(box.bottom(), w->button(BrowseRole::Close)->mapTo(w, QPoint(0, 0)).y());
            // The address lines are laid out inside the panel, one under the other.
            int lineTop = box.top();
            for (QLabel* l : panel->findChildren<QLabel*>()) {
                if (!l->accessibleName().startsWith("FAC:")) continue;
                const QRect r = inWindow(l);
                EXPECT_TRUE(box.contains(r)) << l->text().toStdString();
                EXPECT_GT(r.top(), lineTop) << l->text().toStdString();
                lineTop = r.top();
            }
            return box.top();
        };
        const int designedTop = checkBelow();
        const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/facilitybrowse.png";
        EXPECT_TRUE(dialog->grab().save(path));
        dialog->resize(dialog->width() + 200, dialog->height() + 150);
        test::settle();
        EXPECT_GT(checkBelow(), designedTop);
        EXPECT_TRUE(dialog->grab().save(path.chopped(4) + "-grown.png"));
        w->button(BrowseRole::Select)->click();
    });
    EXPECT_EQ(managers::selectFacility(), Response::Completed);
    EXPECT_EQ(seen, (std::vector<QString>{"EAST WING", "NORTH WING", "WEST WING"}));
    EXPECT_EQ(data::FAC.FACILITYID.trimmed(), "200");
    EXPECT_EQ(data::FAC.FACILITYADD2.trimmed(), "AKRON OH 44303");
}

TEST_F(FacilityTest, TheNarrowColumnsShowAWholeQualifierAndNpi)
{
    addRecord(file::Facility, [] {
        data::FAC.FACILITYID.set("12-3456789");
        data::FAC.FACILTYNAME.set("MAIN STREET CLINIC");
        data::FAC.FACILITYQLN.set("G2");
        data::FAC.FACILITYNPI.set("1234567890");
        data::FAC.FACILITYNNPI.set("MD44120");
    });
    addRecord(file::Facility, [] {
        data::FAC.FACILITYID.set("98-7654321");
        data::FAC.FACILTYNAME.set("NORTH ANNEX");
        data::FAC.FACILITYQLN.set("DN");
        data::FAC.FACILITYNPI.set("9988776655");
    });
    BrowseWindow w(managers::facilityBrowse(), nullptr, managers::facilityPanel());
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    test::settle();
    QTableView* list = w.list();
    ASSERT_EQ(list->model()->rowCount(), 2);

    // A cell's text is drawn inside the style's margins and the column's
    // indent; what is left must hold the whole text, or Qt elides it.
    const auto format = platform::ListFormat::from(managers::facilityBrowse().format);
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const QFontMetrics fm(list->font());
    for (int r = 0; r < 2; ++r) {
        for (int c : {2, 3}) {
            const QModelIndex at = list->model()->index(r, c);
            const QString text = at.data().toString();
            const int indent = format[c].align == platform::ListColumn::Align::Center
                                   ? 0
                                   : dialogUnitsToPixelsX(format[c].indent, list->font());
            EXPECT_LE(fm.horizontalAdvance(text) + 2 * margin + indent, list->visualRect(at).width())
                << text.toStdString();
        }
    }
    EXPECT_EQ(list->model()->index(0, 2).data().toString(), "G2");
    EXPECT_EQ(list->model()->index(0, 3).data().toString(), "1234567890");

    // The headers read whole too.
    QHeaderView* header = list->horizontalHeader();
    const QFontMetrics hfm(header->font());
    const int headerMargin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int c = 0; c < format.count(); ++c)
        EXPECT_LE(hfm.horizontalAdvance(format[c].header) + 2 * headerMargin, header->sectionSize(c))
            << format[c].header.toStdString();

    const QString path = qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/facilitycolumns.png";
    EXPECT_TRUE(w.grab().save(path));
    w.engine().close();
}

} // namespace
