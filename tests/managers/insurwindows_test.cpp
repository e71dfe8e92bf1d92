// The windows of the insurance and claim party managers as the user sees
// them: every help topic they name has its page, and each window is
// grabbed to a PNG for a look.
#include "managers/auth.h"
#include "managers/facility.h"
#include "managers/insured.h"
#include "managers/payer.h"
#include "managers/referring.h"
#include "managers/rendering.h"

#include "insurtesting.h"
#include "shell/browsewindow.h"
#include "shell/formengine.h"
#include "shell/formtesting.h"
#include "shell/formwindow.h"
#include "shell/helpviewer.h"

#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

using namespace kestrel;
using namespace kestrel::shell;
namespace file = data::file;

namespace {

class ManagerWindows : public test::FormTest {
protected:
    static QString pngPath(const char* name)
    {
        return qEnvironmentVariable("KESTREL_TEST_BINARY_DIR", QDir::tempPath()) + "/" + name + ".png";
    }
    void grabForm(const FormDefinition& def, const char* name)
    {
        CallRequest = Request::Insert;
        FormEngine engine(def);
        ASSERT_EQ(engine.open(), FormEngine::Opening::ShowWindow) << name;
        {
            FormWindow window(engine);
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            test::settle();
            EXPECT_TRUE(window.grab().save(pngPath(name))) << name;
            engine.cancel();
        }
        engine.attach(nullptr);
    }
};

TEST_F(ManagerWindows, EveryHelpTopicNamedHasItsPageAndTheHelpButtonsShowThem)
{
    for (const BrowseDefinition* b :
         {&managers::facilityBrowse(), &managers::referringBrowse(), &managers::renderingBrowse(), &managers::authBrowse()})
        EXPECT_FALSE(help::findPage(b->helpTopic).isEmpty()) << b->helpTopic.toStdString();
    for (const FormDefinition* f :
         {&managers::facilityForm(), &managers::referringForm(), &managers::renderingForm(), &managers::authForm(),
          &managers::insuredForm(), &managers::otherInsuredForm()})
        EXPECT_FALSE(help::findPage(f->helpTopic).isEmpty()) << f->helpTopic.toStdString();
    // The insured editors show their page from a Help button as well as F1.
    for (const FormDefinition* f : {&managers::insuredForm(), &managers::otherInsuredForm()})
        EXPECT_TRUE(f->buttons.contains("Help")) << f->title.toStdString();

    BrowseWindow window(managers::authBrowse());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    test::settle();
    window.button(BrowseRole::Help)->click();
    test::settle();
    auto* viewer = window.findChild<HelpViewer*>();
    ASSERT_NE(viewer, nullptr);
    EXPECT_EQ(viewer->topic(), "SigOnFile");
    EXPECT_TRUE(viewer->browser()->toPlainText().contains("signature"));
    window.engine().close();
}

TEST_F(ManagerWindows, Pictures)
{
    grabForm(managers::otherInsuredForm(), "otherinsuredform");
    grabForm(managers::payerForm(), "payerform");
    grabForm(managers::facilityForm(), "facilityform");
    grabForm(managers::referringForm(), "referringform");
    grabForm(managers::renderingForm(), "renderingform");

    addRecord(file::Referring, [] {
        data::REF.F17ID.set("1234567");
        data::REF.F17R.set("WELBY, MARCUS");
        data::REF.F17Q.set("DN");
        data::REF.F17AQ.set("0B");
        data::REF.F17A.set("MD44120");
        data::REF.F17B.set("1992753880");
    });
    addRecord(file::Auth, [] {
        data::AUT.PAT.set(platform::Decimal(3));
        data::AUT.AUTHDATE.set("20240402");
        data::AUT.AUTHSIGN.set("SELF");
    });
    data::INV.PAT.set(platform::Decimal(3));
    for (auto [def, name] : {std::pair{&managers::referringBrowse(), "referringbrowse"},
                             std::pair{&managers::authBrowse(), "authbrowse"}}) {
        CallRequest = Request::Select;
        BrowseWindow window(*def);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        test::settle();
        EXPECT_EQ(window.engine().entryCount(), 1) << name;
        EXPECT_TRUE(window.grab().save(pngPath(name))) << name;
        window.engine().close();
    }
}

} // namespace
