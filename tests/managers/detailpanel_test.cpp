// The detail panels of the manager browses as the user sees them: every
// value box stands whole inside its window, clear of the others, and shows
// its record. Each window is also grabbed to a PNG for a look.
#include "managers/codetables.h"
#include "managers/patientbrowse.h"
#include "managers/payer.h"
#include "managers/providerbrowse.h"

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "platform/rootdir.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"
#include "support/scriptedmessages.h"
#include "support/tempdir.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace kestrel;
namespace file = data::file;

namespace {

class DetailPanels : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScriptedMessages messages;
    platform::RootDir root{dir.path()};
    shell::PrinterSettings printer;

    void SetUp() override
    {
        ASSERT_TRUE(root.ensureExists());
        ASSERT_TRUE(data::setDataDirectory(root.dataDir()));
        data::clearAllBuffers();
        shell::clearCallProtocol();
    }
    static void add(const platform::FileDef& def, const std::function<void()>& fill)
    {
        data::FileUse use{&def};
        platform::clearRecord(def, data::fileByLabel(def.label)->bytes);
        fill();
        ASSERT_EQ(data::recordFile(def).add(), 0);
    }
    // Opens the browse in a frame, checks its boxes and grabs it.
    void look(const char* name, const std::function<QMdiSubWindow*(QMdiArea*)>& open,
              const std::vector<std::pair<QString, QString>>& expected)
    {
        shell::MainWindow frame(root, printer);
        frame.resize(1280, 900);
        frame.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
        QMdiSubWindow* sub = open(frame.mdiArea());
        auto* w = qobject_cast<shell::BrowseWindow*>(sub->widget());
        ASSERT_NE(w, nullptr);
        QTest::qWait(50);
        std::vector<QLabel*> boxes;
        for (QLabel* l : w->findChildren<QLabel*>())
            if (l->frameShape() == QFrame::Panel && l->isVisible()) boxes.push_back(l);
        const QRect inside = w->rect();
        auto rectOf = [w](const QWidget* c) { return QRect(c->mapTo(w, QPoint(0, 0)), c->size()); };
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_TRUE(inside.contains(rectOf(boxes[i]))) << name << " " << boxes[i]->accessibleName().toStdString();
            for (std::size_t j = i + 1; j < boxes.size(); ++j)
                EXPECT_FALSE(rectOf(boxes[i]).intersects(rectOf(boxes[j])))
                    << name << " " << boxes[i]->accessibleName().toStdString() << " over "
                    << boxes[j]->accessibleName().toStdString();
        }
        for (const auto& [field, text] : expected) {
            bool found = false;
            for (QLabel* l : boxes) found = found || (l->accessibleName() == field && l->text() == text);
            EXPECT_TRUE(found) << name << " " << field.toStdString() << " showing " << text.toStdString();
        }
        EXPECT_TRUE(w->grab().save(qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/panel-" +
                                   name + ".png"));
        w->engine().close();
    }
};

TEST_F(DetailPanels, ManagerBrowsesShowTheirLinesWholeAndApart)
{
    add(file::Provider, [] {
        data::PRV.PRV.set(7);
        data::PRV.PNAME.set("ADAMS, JOHN MD");
        data::PRV.GNAME.set("ADAMS FAMILY PRACTICE");
        data::PRV.GIDX.set("G");
        data::PRV.BADD1.set("12 MAIN ST");
        data::PRV.BPAREACODE.set("217");
        data::PRV.BPHONE.set("555-0101");
        data::PRV.F33A.set("1234567890");
    });
    look("provider", managers::openProviderManager,
         {{"BRW1::MAILTO", "ADAMS FAMILY PRACTICE"}, {"PRV:BADD1", "12 MAIN ST"}, {"Telephone number", "(217)"},
          {"NPI", "1234567890"}});

    add(file::Patient, [] {
        data::PAT.PAT.set(3);
        data::PAT.LNAME.set("SMITH, JOHN");
        data::PAT.ADD1.set("99 OAK AVE");
        data::PAT.ADD2.set("SPRINGFIELD");
        data::PAT.ADD3.set("IL");
        data::PAT.ADD4.set("62701");
        data::PAT.SSN.set("123456789");
        data::PAT.SEX.set("F");
    });
    look("patient", managers::openPatientManager,
         {{"Address", "99 OAK AVE"}, {"CITYLINE", "SPRINGFIELD IL 62701"}, {"Social Security Number", "123-45-6789"}});

    add(file::Payer, [] {
        data::HIC.HICNAME.set("BLUE CROSS");
        data::HIC.HICADD1.set("PO BOX 1");
        data::HIC.HICPHONE.set("800-555-0100");
    });
    look("payer", managers::openPayerManager, {{"Address 1", "PO BOX 1"}, {"Telephone number", "800-555-0100"}});

    add(file::ICD48, [] {
        platform::writeField(file::ICD48.fields[0], data::fileByLabel(file::ICD48.label)->bytes, std::string("J20.9"));
    });
    look("icd", managers::openIcdBrowse, {});
}

} // namespace
