// Help pages by topic: built-in pages, local pages, unknown topics.
#include "shell/helpviewer.h"
#include "support/tempdir.h"

#include <QFile>
#include <QPointer>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

using namespace kestrel;
namespace help = kestrel::shell::help;

namespace {

// Each test names its own local help folder; none is left behind.
struct LocalHelp {
    test::TempDir dir;
    LocalHelp() { help::setUp(dir.path()); }
    ~LocalHelp() { help::setUp(QString()); }
    void write(const QString& name, const QByteArray& html)
    {
        QFile f(dir.file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(html);
    }
};

} // namespace

TEST(Help, TopicNamesMapToPageFiles)
{
    EXPECT_EQ(help::pageFileOf("CPT/HCPCSCodeBrowser"), "CPT_HCPCSCodeBrowser.html");
    EXPECT_EQ(help::pageFileOf("ProviderManager"), "ProviderManager.html");
}

TEST(Help, BuiltInMainPageAndIndexAreFound)
{
    EXPECT_EQ(help::findPage("Main"), ":/help/Main.html");
    EXPECT_EQ(help::findPage("index"), ":/help/index.html");

    shell::HelpViewer viewer;
    viewer.showTopic("Main");
    EXPECT_TRUE(viewer.browser()->toPlainText().contains("The main window"));
    EXPECT_EQ(viewer.browser()->source().toString(), "qrc:/help/Main.html");
}

TEST(Help, UnknownOrPathLikeTopicShowsANoHelpPage)
{
    LocalHelp local;
    for (const char* topic : {"NoSuchBrowser", "../secret", "", "/etc/passwd"}) {
        EXPECT_TRUE(help::findPage(topic).isEmpty()) << topic;
        shell::HelpViewer viewer;
        viewer.showTopic(topic);
        EXPECT_TRUE(viewer.browser()->toPlainText().contains(QString("There is no help for topic %1").arg(topic)))
            << topic;
    }
}

TEST(Help, LocalPagesComeBeforeBuiltInOnes)
{
    LocalHelp local;
    local.write("Main.html", "<html><body><p>Our practice's own notes</p></body></html>");
    local.write("CPT_HCPCSCodeBrowser.html", "<html><body><p>Codes</p></body></html>");
    EXPECT_EQ(help::findPage("Main"), local.dir.file("Main.html"));

    QWidget frame;
    shell::HelpViewer* viewer = help::show("CPT/HCPCSCodeBrowser", &frame);
    EXPECT_TRUE(viewer->browser()->toPlainText().contains("Codes"));
    // Asking again from the same window reuses its help window.
    EXPECT_EQ(help::show("Main", &frame), viewer);
    EXPECT_TRUE(viewer->browser()->toPlainText().contains("Our practice's own notes"));
    EXPECT_EQ(viewer->topic(), "Main");
}

TEST(Help, EscapeClosesTheHelpWindow)
{
    QWidget frame;
    QPointer<shell::HelpViewer> viewer = help::show("Main", &frame);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer.data()));
    QTest::keyClick(viewer->browser(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(viewer.isNull() || !viewer->isVisible());
}
