#include "shell/helpviewer.h"

#include <QFileInfo>
#include <QPointer>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace kestrel::shell {

namespace help {

namespace {
// Set once at start-up; read by whichever window asks for help.
QString localDir;
} // namespace

void setUp(const QString& localHelpDir)
{
    localDir = localHelpDir;
}

QStringList searchPaths()
{
    QStringList paths;
    if (!localDir.isEmpty())
        paths << localDir;
    paths << QStringLiteral(":/help");
    return paths;
}

QString pageFileOf(const QString& topic)
{
    QString name = topic.trimmed();
    name.replace('/', '_');
    name.replace('\\', '_');
    return name + QStringLiteral(".html");
}

QString findPage(const QString& topic)
{
    const QString file = pageFileOf(topic);
    // A topic is a name, never a path: nothing outside the help folders.
    if (topic.trimmed().isEmpty() || file.startsWith('.') || file.contains(QStringLiteral("..")))
        return {};
    for (const QString& dir : searchPaths()) {
        const QFileInfo info(dir + '/' + file);
        if (info.isFile())
            return info.filePath();
    }
    return {};
}

HelpViewer* show(const QString& topic, QWidget* from)
{
    QWidget* owner = from ? from->window() : nullptr;
    HelpViewer* viewer = owner ? owner->findChild<HelpViewer*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!viewer)
        viewer = new HelpViewer(owner);
    viewer->showTopic(topic);
    viewer->show();
    viewer->raise();
    viewer->activateWindow();
    return viewer;
}

} // namespace help

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window), browser_(new QTextBrowser(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("KESTREL Help"));
    browser_->setOpenExternalLinks(true);
    browser_->setSearchPaths(help::searchPaths());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser_);
    resize(640, 520);
}

void HelpViewer::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void HelpViewer::showTopic(const QString& topic)
{
    topic_ = topic;
    browser_->setSearchPaths(help::searchPaths());
    const QString page = help::findPage(topic);
    if (page.isEmpty()) {
        browser_->setHtml(QStringLiteral("<html><body><h2>No help</h2>"
                                         "<p>There is no help for topic <b>%1</b>.</p>"
                                         "<p><a href=\"index.html\">Help contents</a></p></body></html>")
                              .arg(topic.toHtmlEscaped()));
        return;
    }
    browser_->setSource(page.startsWith(':') ? QUrl(QStringLiteral("qrc") + page) : QUrl::fromLocalFile(page));
}

} // namespace kestrel::shell
