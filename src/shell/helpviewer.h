#pragma once
// Help pages by topic. Topics are names such as "Main", "ProviderManager" or
// "CPT/HCPCSCodeBrowser"; a topic's page is the file named after it with '/'
// replaced by '_' and ".html" added ("CPT_HCPCSCodeBrowser.html").
//
// Pages are looked for first in the local help folder named at start-up
// (ROOT/Help, where a practice may keep its own pages) and then among the
// pages built into the program (resource folder ":/help"). A topic with no
// page shows a page that says so.

#include <QString>
#include <QStringList>
#include <QWidget>

class QTextBrowser;

namespace kestrel::shell {

class HelpViewer;

namespace help {

// Start-up: names the local help folder. Before it is called only the
// built-in pages are used.
void setUp(const QString& localHelpDir);
// Where pages are looked for, in order.
QStringList searchPaths();
// The page file name of a topic.
QString pageFileOf(const QString& topic);
// The full path of the topic's page, or empty when there is none.
QString findPage(const QString& topic);

// Shows the topic in the help window of `from`'s window, opening one when
// needed. Returns that help window.
HelpViewer* show(const QString& topic, QWidget* from);

} // namespace help

// A window with the help pages; links between pages work.
class HelpViewer final : public QWidget {
    Q_OBJECT
public:
    explicit HelpViewer(QWidget* parent = nullptr);

    void showTopic(const QString& topic);
    QString topic() const { return topic_; }
    QTextBrowser* browser() const { return browser_; }

protected:
    // Escape closes the help window, as it closes the program's other windows.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTextBrowser* browser_;
    QString topic_;
};

} // namespace kestrel::shell
