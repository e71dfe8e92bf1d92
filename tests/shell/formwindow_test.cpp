// The Qt window generated from a form definition, driven with real key and
// mouse events on the offscreen platform.
#include "shell/formtesting.h"

#include "shell/formwindow.h"
#include "shell/helpviewer.h"
#include "support/guiactions.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <cstring>

using namespace kestrel;
using namespace kestrel::shell;
using data::Button;
namespace file = data::file;

namespace {

FieldRule closeIfBlank()
{
    return [](FormContext& f) { return f.isBlank(f.currentField()) ? Verdict::CloseCancelled : Verdict::Go; };
}

FormDefinition codeForm()
{
    return FormDefinition{
        .file = "CPT48",
        .title = "CPT/HCPCS Code Editor",
        .insertTitle = "Record Will Be Added",
        .changeTitle = "Record Will Be Changed",
        .helpTopic = "ProcedureCodeManagerEditor",
        .buttons = {"&Save", "&Cancel", "Help"},
        .tabs = {{"Code", {
            entry("CPT/HCPCS Code", "CPT:CPTCODE", "@s7").ditto().accepting(closeIfBlank()),
            entry("Description", "CPT:CPTDESCRIPTION", "@s48").ditto().tip("What the procedure is"),
        }}},
        .duplicateKey = DuplicateKey{"CPT:CPTCODEKEY", "CPT:CPTCODEkey"},
    };
}

class FormWindowTest : public test::FormTest {
protected:
    // Opens the form for the request as a browse would, with its window shown.
    struct Open {
        Open(const FormDefinition& def, Request request) : form(def, request)
        {
            if (form.ended()) return;
            window = std::make_unique<FormWindow>(form.engine);
            window->show();
            QApplication::setActiveWindow(window.get());
            EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
            QTest::qWait(10);  // the engine's "window is open" step
        }
        QLineEdit* edit(const char* field) const { return window->entryOf(field); }
        test::UserForm form;
        std::unique_ptr<FormWindow> window;
    };

    std::vector<std::string> codes()
    {
        return records(file::CPT48, "CPT:CPTCODEKEY", [] {
            return std::string(data::CPT.CPTCODE.trimmed()) + "=" + std::string(data::CPT.CPTDESCRIPTION.trimmed());
        });
    }
};

TEST_F(FormWindowTest, TheWindowIsBuiltFromTheDefinition)
{
    const FormDefinition def = codeForm();
    Open open(def, Request::Insert);
    FormWindow& w = *open.window;
    EXPECT_EQ(w.windowTitle(), "Record Will Be Added");
    ASSERT_EQ(w.sheet()->count(), 1);
    EXPECT_EQ(w.sheet()->tabText(0), "Code");

    QStringList prompts;
    for (QLabel* l : w.sheet()->widget(0)->findChildren<QLabel*>()) prompts << l->text();
    EXPECT_TRUE(prompts.contains("CPT/HCPCS Code"));
    EXPECT_TRUE(prompts.contains("Description"));
    EXPECT_EQ(open.edit("CPT:CPTCODE")->maxLength(), 7);
    EXPECT_EQ(open.edit("CPT:CPTDESCRIPTION")->maxLength(), 48);
    EXPECT_EQ(open.edit("CPT:CPTDESCRIPTION")->toolTip(), "What the procedure is");

    QStringList buttons;
    for (QPushButton* b : w.findChildren<QPushButton*>()) buttons << b->text();
    EXPECT_EQ(buttons, (QStringList{"&Save", "&Cancel", "Help"}));
    EXPECT_EQ(w.saveButton()->text(), "&Save");
    EXPECT_EQ(w.cancelButton()->text(), "&Cancel");
    // The first field has the focus; the opening size is the smallest.
    EXPECT_EQ(QApplication::focusWidget(), open.edit("CPT:CPTCODE"));
    EXPECT_EQ(w.minimumSize(), w.size());
}

// The window row of the first dark (text) pixel the widget draws, -1 if none.
int firstTextRow(QWidget* w, QWidget* window)
{
    const QImage image = w->grab().toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 90) return w->mapTo(window, QPoint(0, y)).y();
    return -1;
}

TEST_F(FormWindowTest, PromptsStayLevelWithTheirFieldsWhenTheWindowGrows)
{
    const FormDefinition def = codeForm();
    Open open(def, Request::Insert);
    FormWindow& w = *open.window;
    QLineEdit* edit = open.edit("CPT:CPTDESCRIPTION");
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(edit, Qt::LeftButton);
    QTest::keyClicks(edit, "OFFICE VISIT");
    QTest::mouseClick(open.edit("CPT:CPTCODE"), Qt::LeftButton);  // no cursor in the field measured
    ASSERT_EQ(edit->text(), "OFFICE VISIT");
    QLabel* prompt = nullptr;
    for (QLabel* l : w.findChildren<QLabel*>())
        if (l->text() == "Description") prompt = l;
    ASSERT_NE(prompt, nullptr);

    for (const QSize grow : {QSize(0, 0), QSize(300, 200)}) {
        w.resize(w.size() + grow);
        QTest::qWait(10);
        const int promptRow = firstTextRow(prompt, &w);
        const int fieldRow = firstTextRow(edit, &w);
        ASSERT_GE(promptRow, 0);
        ASSERT_GE(fieldRow, 0);
        EXPECT_LE(std::abs(promptRow - fieldRow), 3) << "grown by " << grow.height();
    }
}

TEST_F(FormWindowTest, TheLastButtonOtherThanHelpCancelsWhateverItsText)
{
    FormDefinition def = codeForm();
    def.buttons = {"Save", "Close"};
    Open open(def, Request::Insert);
    EXPECT_EQ(open.window->cancelButton()->text(), "Close");
    QTest::keyClicks(open.edit("CPT:CPTCODE"), "A1");
    QTest::mouseClick(open.window->cancelButton(), Qt::LeftButton);
    EXPECT_TRUE(open.form.engine.isClosed());
    EXPECT_EQ(CallResponse, Response::Cancelled);
    EXPECT_FALSE(open.window->isVisible());
    EXPECT_TRUE(codes().empty());
}

TEST_F(FormWindowTest, TypingTabbingAndSavingAddsTheRecord)
{
    const FormDefinition def = codeForm();
    Open open(def, Request::Insert);
    QTest::keyClicks(open.edit("CPT:CPTCODE"), "99213");
    QTest::keyClick(open.edit("CPT:CPTCODE"), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), open.edit("CPT:CPTDESCRIPTION"));
    QTest::keyClicks(open.edit("CPT:CPTDESCRIPTION"), "OFFICE VISIT");
    QTest::mouseClick(open.window->saveButton(), Qt::LeftButton);
    EXPECT_EQ(CallResponse, Response::Completed);
    EXPECT_FALSE(open.window->isVisible());
    EXPECT_EQ(codes(), std::vector<std::string>{"99213=OFFICE VISIT"});
}

// Message 38 names Ctrl+'; the patient and provider editors were designed
// with Ctrl+`: both recall in every form.
TEST_F(FormWindowTest, CtrlApostropheAndCtrlGraveBothRecallInEveryForm)
{
    const FormDefinition def = codeForm();
    {
        Open open(def, Request::Insert);
        QTest::keyClicks(open.edit("CPT:CPTCODE"), "A0001");
        QTest::keyClick(open.edit("CPT:CPTCODE"), Qt::Key_Tab);
        QTest::keyClicks(open.edit("CPT:CPTDESCRIPTION"), "FIRST");
        QTest::mouseClick(open.window->saveButton(), Qt::LeftButton);
        ASSERT_EQ(CallResponse, Response::Completed);
    }
    Open open(def, Request::Insert);
    QLineEdit* code = open.edit("CPT:CPTCODE");
    QLineEdit* description = open.edit("CPT:CPTDESCRIPTION");
    description->setFocus();
    QTest::keyClick(description, Qt::Key_Apostrophe);  // without Ctrl: typed
    EXPECT_EQ(description->text(), "'");
    QTest::keyClick(description, Qt::Key_Apostrophe, Qt::ControlModifier);
    EXPECT_EQ(description->text(), "FIRST");
    code->setFocus();
    QTest::keyClick(code, Qt::Key_QuoteLeft, Qt::ControlModifier);
    EXPECT_EQ(code->text(), "A0001");
}

TEST_F(FormWindowTest, F12AndTheRightButtonOpenTheFieldsLookup)
{
    FormDefinition def = codeForm();
    int lookups = 0;
    QString typed;
    def.tabs[0].controls[1] = def.tabs[0].controls[1].lookup([&](FormContext& f) {
        ++lookups;
        typed = f.typedText();
        f.set("CPT:CPTDESCRIPTION", "PICKED");
    });
    Open open(def, Request::Insert);
    QLineEdit* description = open.edit("CPT:CPTDESCRIPTION");
    description->setFocus();
    QTest::keyClicks(description, "OFF");
    QTest::keyClick(description, Qt::Key_F12);
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(typed, "OFF");
    EXPECT_EQ(description->text(), "PICKED");
    QTest::mouseClick(description, Qt::RightButton);
    EXPECT_EQ(lookups, 2);
    // A field without a lookup ignores F12.
    QTest::keyClick(open.edit("CPT:CPTCODE"), Qt::Key_F12);
    EXPECT_EQ(lookups, 2);
}

TEST_F(FormWindowTest, RefusedInputBeepsAndKeepsTheFocusOnTheField)
{
    FormDefinition def = codeForm();
    def.file = "Patient";
    def.duplicateKey.reset();
    def.tabs[0].controls = {
        entry("Last name, First, MI", "PAT:LNAME", "@s29"),
        entry("Date of Birth", "PAT:BDATE", "@D2"),
        entry("Address", "PAT:ADD1", "@s29"),
    };
    Open open(def, Request::Insert);
    QLineEdit* birth = open.edit("PAT:BDATE");
    birth->setFocus();
    QTest::keyClicks(birth, "13/01/1990");
    QTest::keyClick(birth, Qt::Key_Tab);
    EXPECT_TRUE(QTest::qWaitFor([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QApplication::focusWidget(), birth);
    EXPECT_FALSE(open.window->lastRefusal().isEmpty());
    // The reason stays in sight at the field once the focus is back there.
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), open.window->lastRefusal());
    EXPECT_EQ(birth->text(), "13/01/1990");
    EXPECT_TRUE(data::PAT.BDATE.isBlank());

    birth->selectAll();
    QTest::keyClicks(birth, "1/13/1990");
    QTest::keyClick(birth, Qt::Key_Tab);
    EXPECT_EQ(birth->text(), "01/13/1990");
    EXPECT_EQ(std::string(data::PAT.BDATE.view()), "19900113");
    EXPECT_EQ(QApplication::focusWidget(), open.edit("PAT:ADD1"));
}

// A field whose entering rule redisplays the form (the patient name) keeps a
// refused name, selected for correction, as a refused date does.
TEST_F(FormWindowTest, ACharacterTheFilesCannotStoreKeepsWhatWasTypedSelected)
{
    FormDefinition def = codeForm();
    def.file = "Patient";
    def.duplicateKey.reset();
    int entered = 0;
    def.tabs[0].controls = {
        entry("Last name, First, MI", "PAT:LNAME", "@s29").entering([&](FormContext&) {
            ++entered;
            return Verdict::Go;
        }),
        entry("Address", "PAT:ADD1", "@s29"),
    };
    Open open(def, Request::Insert);
    QLineEdit* name = open.edit("PAT:LNAME");
    // Typed key by key, as a keyboard with these letters sends them.
    for (const QChar ch : QString::fromUtf8("Wałęsa, Łucja")) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(name, &key);
    }
    QTest::keyClick(name, Qt::Key_Tab);
    QTRY_COMPARE(QApplication::focusWidget(), name);
    QTest::qWait(20);
    EXPECT_GE(entered, 2);  // the rule ran again when the focus came back
    EXPECT_TRUE(open.window->lastRefusal().contains(QString::fromUtf8("ł"))) << open.window->lastRefusal().toStdString();
    EXPECT_EQ(name->text(), QString::fromUtf8("Wałęsa, Łucja"));
    EXPECT_EQ(name->selectedText(), name->text());
    EXPECT_TRUE(data::PAT.LNAME.isBlank());
    // The window losing and regaining the focus redisplays the form: the
    // typed text still stays.
    open.form.engine.redisplay();
    EXPECT_EQ(name->text(), QString::fromUtf8("Wałęsa, Łucja"));

    // Corrected, it is stored as typed; a value a rule stores replaces typing.
    QTest::keyClicks(name, "Walesa, Lucja");
    QTest::keyClick(name, Qt::Key_Tab);
    EXPECT_EQ(std::string(data::PAT.LNAME.trimmed()), "Walesa, Lucja");
    QLineEdit* address = open.edit("PAT:ADD1");
    QTest::keyClicks(address, "typed");
    open.form.engine.set("PAT:ADD1", "12 Main St");
    open.form.engine.redisplay();
    EXPECT_EQ(address->text(), "12 Main St");
}

TEST_F(FormWindowTest, SavingARecordAnotherStationDeletedSaysSoOnceAndKeepsWhatWasTyped)
{
    addRecord(file::CPT48, [] { data::CPT.CPTCODE.set("11111"); });
    data::CPT.CPTCODE.set("11111");
    readForChange(file::CPT48, "CPT:CPTCODEKEY");
    const FormDefinition def = codeForm();
    Open open(def, Request::Change);
    QLineEdit* description = open.edit("CPT:CPTDESCRIPTION");
    QTest::mouseClick(description, Qt::LeftButton);
    QTest::keyClicks(description, "TYPED HERE");

    const QString folder = dir.path();
    ASSERT_EQ(test::otherStation([&] {
                  data::Cpt48Record theirs;
                  platform::RecordFile other(file::CPT48, data::bytesOf(theirs));
                  other.setDirectory(folder);
                  if (other.open() != 0) return 1;
                  platform::clearRecord(file::CPT48, data::bytesOf(theirs));
                  theirs.CPTCODE.set("11111");
                  if (other.get(file::CPT48.keyIndex("CPT:CPTCODEKEY")) != 0) return 2;
                  return other.remove() == 0 ? 0 : 3;
              }),
              0);

    // Each Save says once what happened, and nothing is lost or looped.
    for (int press = 1; press <= 2; ++press) {
        QTest::mouseClick(open.window->saveButton(), Qt::LeftButton);
        EXPECT_EQ(messages.numbers(), std::vector<int>(std::size_t(press), 39));
        EXPECT_TRUE(open.window->isVisible());
        EXPECT_EQ(description->text(), "TYPED HERE");
        EXPECT_EQ(open.edit("CPT:CPTCODE")->text(), "11111");
    }
    EXPECT_TRUE(messages.shown()[0].text.contains("deleted by another station"));
    QTest::mouseClick(open.window->cancelButton(), Qt::LeftButton);
    EXPECT_FALSE(open.window->isVisible());
    EXPECT_EQ(CallResponse, Response::Cancelled);
    EXPECT_TRUE(codes().empty());
}

// Taking the window down moves the focus out of the field being typed in;
// that must not reach the half-destroyed window or the engine.
TEST_F(FormWindowTest, AWindowTakenDownWhileAFieldIsBeingTypedInLeavesTheFormAlone)
{
    FormDefinition def = codeForm();
    int accepted = 0;
    def.tabs[0].controls[1] = def.tabs[0].controls[1].accepting([&](FormContext&) {
        ++accepted;
        return Verdict::Go;
    });
    Open open(def, Request::Insert);
    QLineEdit* description = open.edit("CPT:CPTDESCRIPTION");
    QTest::mouseClick(description, Qt::LeftButton);
    QTest::keyClicks(description, "HALF TYPED");
    ASSERT_EQ(QApplication::focusWidget(), description);
    open.window.reset();
    EXPECT_EQ(accepted, 0);
    EXPECT_TRUE(data::CPT.CPTDESCRIPTION.isBlank());
    EXPECT_FALSE(open.form.engine.isClosed());
}

// A form whose Close saves and whose Esc does not close it, as the windows
// that hold a claim's or a patient's lists are.
TEST_F(FormWindowTest, EscKeepsAClosingFormOpenWhileTheFormsItCallsStillCancelWithEsc)
{
    FormDefinition def = codeForm();
    def.buttons = {"&Save", "&Close", "Help"};
    def.closeSaves = true;
    def.escapeCloses = false;
    const FormDefinition inner = codeForm();
    Response innerResponse = Response::None;
    def.tabs[0].controls[1] = def.tabs[0].controls[1].lookup([&](FormContext&) {
        const QByteArray kept(reinterpret_cast<const char*>(data::bytesOf(data::CPT)), file::CPT48.recordLength);
        QTimer::singleShot(50, [] {
            auto* w = qobject_cast<FormWindow*>(QApplication::activeModalWidget());
            ASSERT_NE(w, nullptr);
            QTest::keyClick(w->entryOf("CPT:CPTCODE"), Qt::Key_Escape);
        });
        CallRequest = Request::Insert;
        innerResponse = runForm(inner);
        std::memcpy(data::bytesOf(data::CPT), kept.constData(), std::size_t(kept.size()));
    });
    {
        Open open(def, Request::Insert);
        QLineEdit* code = open.edit("CPT:CPTCODE");
        QTest::keyClicks(code, "A1");
        QTest::keyClick(code, Qt::Key_Escape);
        EXPECT_TRUE(open.window->isVisible());
        QTest::keyClick(open.edit("CPT:CPTDESCRIPTION"), Qt::Key_F12);
        EXPECT_EQ(innerResponse, Response::Cancelled);
        EXPECT_TRUE(open.window->isVisible());

        // Esc on the Close button chooses Close: a failed save stays open...
        platform::faults::failOn(platform::faults::Operation::Add, "CPT48", 1, platform::errc::DriverError);
        open.window->cancelButton()->setFocus();
        QTest::keyClick(open.window->cancelButton(), Qt::Key_Escape);
        EXPECT_EQ(messages.numbers(), std::vector<int>{14});
        EXPECT_TRUE(open.window->isVisible());
        // ...the mouse closes it Cancelled.
        platform::faults::failOn(platform::faults::Operation::Add, "CPT48", 1, platform::errc::DriverError);
        QTest::mouseClick(open.window->cancelButton(), Qt::LeftButton);
        EXPECT_FALSE(open.window->isVisible());
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    {
        // The close box writes nothing.
        Open open(def, Request::Insert);
        QTest::keyClicks(open.edit("CPT:CPTCODE"), "B2");
        open.window->close();
        EXPECT_FALSE(open.window->isVisible());
        EXPECT_EQ(CallResponse, Response::Cancelled);
    }
    {
        Open open(def, Request::Insert);
        QTest::keyClicks(open.edit("CPT:CPTCODE"), "C3");
        QTest::mouseClick(open.window->cancelButton(), Qt::LeftButton);
        EXPECT_EQ(CallResponse, Response::Completed);
    }
    EXPECT_EQ(codes(), std::vector<std::string>{"C3="});
}

TEST_F(FormWindowTest, RadioButtonsAndCheckBoxesStoreTheirCodes)
{
    FormDefinition def = codeForm();
    def.file = "Patient";
    def.duplicateKey.reset();
    def.tabs[0].controls = {
        entry("Last name, First, MI", "PAT:LNAME", "@s29"),
        radios("Sex", "PAT:SEX", {{" Male", "M", {}}, {" Female", "F", {}}}),
        checkBox(" Mark, if billing under the group name.", "PRV:GIDX", "X"),
    };
    Open open(def, Request::Insert);
    auto radios = open.window->findChildren<QRadioButton*>();
    ASSERT_EQ(radios.size(), 2);
    EXPECT_FALSE(radios[0]->isChecked());
    EXPECT_FALSE(radios[1]->isChecked());
    QTest::mouseClick(radios[1], Qt::LeftButton);
    EXPECT_EQ(std::string(data::PAT.SEX.trimmed()), "F");
    auto* box = open.window->findChild<QCheckBox*>();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(std::string(data::PRV.GIDX.trimmed()), "X");
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_TRUE(data::PRV.GIDX.isBlank());
}

TEST_F(FormWindowTest, AMovedFormReopensWhereItWasLeftEvenForAnotherRecord)
{
    addRecord(file::CPT48, [] { data::CPT.CPTCODE.set("11111"); });
    addRecord(file::CPT48, [] { data::CPT.CPTCODE.set("22222"); });
    const FormDefinition def = codeForm();
    QPoint first;
    {
        data::CPT.CPTCODE.set("11111");
        readForChange(file::CPT48, "CPT:CPTCODEKEY");
        Open open(def, Request::Change);
        first = open.window->pos();
        open.window->move(first + QPoint(37, 23));
        QTest::qWait(10);
        QTest::mouseClick(open.window->cancelButton(), Qt::LeftButton);
    }
    data::CPT.CPTCODE.set("22222");
    readForChange(file::CPT48, "CPT:CPTCODEKEY");
    Open open(def, Request::Change);
    EXPECT_EQ(open.window->pos(), first + QPoint(37, 23));
    EXPECT_EQ(open.edit("CPT:CPTCODE")->text(), "22222");

    // Another form procedure (as after a restart) opens at its own place.
    const FormDefinition fresh = codeForm();
    open.form.engine.cancel();
    Open other(fresh, Request::Insert);
    EXPECT_NE(other.window->pos(), first + QPoint(37, 23));
}

// Where a window comes up is only known for sure once it is up (a window
// manager adds its frame after the first showing): the place remembered is
// where the form was when it closed, so an unmoved form reopens where it was.
TEST_F(FormWindowTest, AnUnmovedFormReopensWhereItWasWhenClosed)
{
    const FormDefinition def = codeForm();
    QPoint was;
    {
        Open open(def, Request::Insert);
        was = open.window->pos();
        // An early reading of the place, before the frame was known.
        def.memory.position = was - QPoint(0, 20);
        QTest::mouseClick(open.window->cancelButton(), Qt::LeftButton);
    }
    Open open(def, Request::Insert);
    EXPECT_EQ(open.window->pos(), was);
}

TEST_F(FormWindowTest, F1InAFieldShowsTheFormsHelpPage)
{
    const FormDefinition def = codeForm();
    Open open(def, Request::Insert);
    QTest::keyClicks(open.edit("CPT:CPTCODE"), "99");
    QTest::keyClick(open.edit("CPT:CPTCODE"), Qt::Key_F1);
    QTest::qWaitFor([&] { return open.window->findChild<HelpViewer*>() != nullptr; });
    auto* viewer = open.window->findChild<HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->topic(), "ProcedureCodeManagerEditor");
    // The form goes on as it was.
    EXPECT_FALSE(open.form.engine.isClosed());
    EXPECT_EQ(open.edit("CPT:CPTCODE")->text(), "99");
}

TEST_F(FormWindowTest, RunFormIsModalAndADeleteRequestShowsNoWindow)
{
    addRecord(file::CPT48, [] { data::CPT.CPTCODE.set("11111"); });
    const FormDefinition def = codeForm();

    data::CPT.CPTCODE.set("11111");
    readForChange(file::CPT48, "CPT:CPTCODEKEY");
    messages.answer(Button::Cancel);
    bool windowSeen = false;
    bool looked = false;
    QTimer::singleShot(0, [&] {
        windowSeen = QApplication::activeModalWidget() != nullptr;
        looked = true;
    });
    CallRequest = Request::Delete;
    EXPECT_EQ(runForm(def), Response::Cancelled);
    EXPECT_EQ(messages.numbers(), std::vector<int>{32});
    EXPECT_TRUE(QTest::qWaitFor([&] { return looked; }));
    EXPECT_FALSE(windowSeen);

    // Insert: the modal window is driven while runForm waits for it.
    releaseHeld();
    data::clearAllBuffers();
    test::whenModal([](QWidget* modal) {
        auto* w = qobject_cast<FormWindow*>(modal);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->windowTitle(), "Record Will Be Added");
        QTest::keyClicks(w->entryOf("CPT:CPTCODE"), "22222");
        QTest::mouseClick(w->saveButton(), Qt::LeftButton);
    });
    CallRequest = Request::Insert;
    EXPECT_EQ(runForm(def), Response::Completed);
    EXPECT_EQ(codes(), (std::vector<std::string>{"11111=", "22222="}));
}

} // namespace
