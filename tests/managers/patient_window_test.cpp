// The patient manager as the user meets it: the frame's menu opens the
// Patient screen, the editor is filled in with key strokes, and what was
// typed is found in the file afterwards (offscreen, real record files).
#include "managers/patientbrowse.h"

#include "data/file_access.h"
#include "data/records.h"
#include "platform/recordfile.h"
#include "platform/rootdir.h"
#include "shell/browsewindow.h"
#include "shell/callprotocol.h"
#include "shell/detailpanel.h"
#include "shell/formwindow.h"
#include "shell/mainwindow.h"
#include "shell/printersettings.h"
#include "support/guiactions.h"
#include "support/managerframe.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kestrel;
using shell::BrowseWindow;
using shell::FormWindow;
namespace file = data::file;

namespace {

using test::addPatient;
using test::typeInto;

// A patient as stored, read with a record file of its own (not the shared
// buffer the windows use).
struct StoredPatient {
    long long number = 0;
    std::string name, add1, cityLine, bdate, ssn, sex;
};

std::vector<StoredPatient> storedPatients(const QString& dataDir)
{
    data::PatientRecord rec;
    platform::RecordFile f(file::Patient, data::bytesOf(rec));
    f.setDirectory(dataDir);
    std::vector<StoredPatient> out;
    if (f.open() != 0) return out;
    EXPECT_EQ(f.set(file::Patient.keyIndex("PAT:PATKEY"), platform::RecordFile::Start::AtEnds), 0);
    while (f.next() == 0) {
        out.push_back({rec.PAT.asInt(), std::string(rec.LNAME.trimmed()), std::string(rec.ADD1.trimmed()),
                       std::string(rec.ADD2.trimmed()) + "|" + std::string(rec.ADD3.trimmed()) + "|" +
                           std::string(rec.ADD4.trimmed()),
                       std::string(rec.BDATE.view()), std::string(rec.SSN.view()), std::string(rec.SEX.view())});
    }
    f.close();
    return out;
}

using shell::DetailPanel;

class PatientWindows : public test::ManagerFrameTest {
protected:
    PatientWindows() : ManagerFrameTest(shell::MenuItem::PatientManager, managers::openPatientManager) {}

    static DetailPanel* panelOf(BrowseWindow* w) { return w->findChild<DetailPanel*>(); }
    static QString highlightedName(BrowseWindow* w) { return cell(w, w->engine().highlighted(), 0); }
};

TEST_F(PatientWindows, AUserAddsAPatientFromTheMenuSeesItAndChangesIt)
{
    BrowseWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Patient screen");
    EXPECT_EQ(w->engine().entryCount(), 0);

    // Insert on the empty list opens the editor; the user types the patient.
    bool formSeen = false;
    whenFormOpens([&](FormWindow* form) {
        formSeen = true;
        EXPECT_EQ(form->windowTitle(), "Record will be added");
        // The name field has the focus as the form opens.
        EXPECT_EQ(QApplication::focusWidget(), form->entryOf("PAT:LNAME"));
        QTest::keyClicks(form->entryOf("PAT:LNAME"), "SMITH, JOHN");
        auto radios = form->findChildren<QRadioButton*>();
        ASSERT_EQ(radios.size(), 2);
        QTest::mouseClick(radios[1], Qt::LeftButton);  // Female
        typeInto(form->entryOf("PAT:BDATE"), "01/05/1970");
        typeInto(form->entryOf("PAT:SSN"), "123-45-6789");
        typeInto(form->entryOf("PAT:ADD1"), "1 ELM ST");
        typeInto(form->entryOf("PAT:ADD2"), "SPRINGFIELD");
        typeInto(form->entryOf("PAT:ADD3"), "IL");
        typeInto(form->entryOf("PAT:ADD4"), "62701");
        QTest::mouseClick(form->saveButton(), Qt::LeftButton);
    });
    QTest::keyClick(w->list(), Qt::Key_Insert);
    settle(100);
    ASSERT_TRUE(formSeen);

    // The new patient is in the list, highlighted, and the panel shows it.
    ASSERT_EQ(w->engine().entryCount(), 1);
    EXPECT_EQ(cell(w, 1, 0), "SMITH, JOHN");
    EXPECT_EQ(cell(w, 1, 1), "00001");
    DetailPanel* panel = panelOf(w);
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->shownText("PAT:LNAME"), "SMITH, JOHN");
    EXPECT_EQ(panel->shownText("CITYLINE"), "SPRINGFIELD IL 62701");
    EXPECT_EQ(panel->shownText("PAT:SSN"), "123-45-6789");
    EXPECT_EQ(panel->shownText("PAT:BDATE"), "01/05/1970");
    EXPECT_EQ(panel->shownText("PAT:SEX"), "F");

    // Ctrl+Enter changes the highlighted patient: a new street.
    formSeen = false;
    whenFormOpens([&](FormWindow* form) {
        formSeen = true;
        EXPECT_EQ(form->windowTitle(), "Record will be changed");
        EXPECT_EQ(form->entryOf("PAT:SSN")->text(), "123-45-6789");
        typeInto(form->entryOf("PAT:ADD1"), "99 OAK AVE");
        QTest::mouseClick(form->saveButton(), Qt::LeftButton);
    });
    QTest::keyClick(w->list(), Qt::Key_Return, Qt::ControlModifier);
    settle(100);
    ASSERT_TRUE(formSeen);
    EXPECT_EQ(panel->shownText("PAT:ADD1"), "99 OAK AVE");

    const auto stored = storedPatients(root.dataDir());
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].number, 1);
    EXPECT_EQ(stored[0].name, "SMITH, JOHN");
    EXPECT_EQ(stored[0].add1, "99 OAK AVE");
    EXPECT_EQ(stored[0].cityLine, "SPRINGFIELD|IL|62701");
    EXPECT_EQ(stored[0].bdate, "19700105");
    EXPECT_EQ(stored[0].ssn, "123456789");
    EXPECT_EQ(stored[0].sex, "F");
    EXPECT_TRUE(messages.shown().empty());
}

TEST_F(PatientWindows, TheNameFieldLocatesTheFirstPatientAtOrAfterWhatIsTyped)
{
    const char* names[] = {"ADAMS, AL", "BROWN, BO", "JONES, JO", "SMALL, SUE", "SMITH, ANN", "TAYLOR, TY"};
    long long n = 0;
    for (const char* name : names) addPatient(++n, name);
    BrowseWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(highlightedName(w), "ADAMS, AL");
    QLineEdit* name = panelOf(w)->locator();
    EXPECT_EQ(name->text(), "ADAMS, AL");

    typeInto(name, "SM");
    QTest::keyClick(name, Qt::Key_Return);
    settle(50);
    EXPECT_EQ(highlightedName(w), "SMALL, SUE");
    EXPECT_EQ(data::PAT.PAT.asInt(), 4);
    EXPECT_TRUE(w->list()->hasFocus());
    EXPECT_EQ(name->text(), "SMALL, SUE");

    // Past every name: the last page, its last patient.
    typeInto(name, "ZZ");
    QTest::keyClick(name, Qt::Key_Return);
    settle(50);
    EXPECT_EQ(highlightedName(w), "TAYLOR, TY");

    // The box is as wide as its picture (29) but takes only the 28
    // characters the name holds.
    typeInto(name, "SMITHERINGTON-WALLACE, ANNABELLE");
    EXPECT_EQ(name->text(), "SMITHERINGTON-WALLACE, ANNAB");

    // A blank entry does nothing.
    typeInto(name, "");
    QTest::keyClick(name, Qt::Key_Return);
    settle(50);
    EXPECT_EQ(highlightedName(w), "TAYLOR, TY");
    EXPECT_EQ(data::PAT.LNAME.trimmed(), "TAYLOR, TY");
}

TEST_F(PatientWindows, ACancelledInsertLeavesNoPatientAndTheNumberIsUsedNext)
{
    addPatient(1, "ADAMS, AL");
    BrowseWindow* w = openFromMenu();
    ASSERT_NE(w, nullptr);
    whenFormOpens([&](FormWindow* form) {
        QTest::keyClicks(form->entryOf("PAT:LNAME"), "BROWN, BO");
        QTest::mouseClick(form->cancelButton(), Qt::LeftButton);
    });
    QTest::mouseClick(w->button(shell::BrowseRole::Add), Qt::LeftButton);
    settle(100);
    EXPECT_EQ(storedPatients(root.dataDir()).size(), 1u);
    EXPECT_EQ(w->engine().entryCount(), 1);

    whenFormOpens([&](FormWindow* form) {
        QTest::keyClicks(form->entryOf("PAT:LNAME"), "BROWN, BO");
        QTest::mouseClick(form->saveButton(), Qt::LeftButton);
    });
    QTest::mouseClick(w->button(shell::BrowseRole::Add), Qt::LeftButton);
    settle(100);
    const auto stored = storedPatients(root.dataDir());
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[1].number, 2);
    EXPECT_EQ(stored[1].name, "BROWN, BO");
    EXPECT_EQ(highlightedName(w), "BROWN, BO");
}

} // namespace
