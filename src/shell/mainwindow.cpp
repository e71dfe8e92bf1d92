#include "shell/mainwindow.h"

#include "platform/inifile.h"
#include "shell/artwork.h"
#include "shell/geometry.h"
#include "shell/helpviewer.h"
#include "shell/printersettings.h"
#include "shell/runtimelog.h"

#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

namespace kestrel::shell {

namespace {

// The client area: the background picture redrawn to its size, so it always
// fills the area instead of being tiled.
class FrameArea final : public QMdiArea {
public:
    using QMdiArea::QMdiArea;

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        setBackground(QBrush(artwork::background(viewport()->size())));
        QMdiArea::resizeEvent(event);
    }
};

} // namespace

MainWindow::MainWindow(const platform::RootDir& root, PrinterSettings& printer, QWidget* parent)
    : QMainWindow(parent), root_(root), printer_(printer), mdi_(new FrameArea(this))
{
    setWindowTitle(QString::fromLatin1(kFrameTitle));
    setWindowIcon(artwork::productIcon());
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    statusBar();  // tips show here
    buildMenuBar();

    procedures_[MenuItem::PrinterSetup] = [this] { printer_.setUp(this); };
    procedures_[MenuItem::Exit] = [this] { close(); };

    // Default place when nothing is saved: most of the screen, centred.
    QRect area(0, 0, 1024, 740);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        area.setSize(area.size().boundedTo(avail.size() * 0.9));
        area.moveCenter(avail.center());
    }
    setGeometry(area);
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenuBar()
{
    QMenu* menu = nullptr;
    for (const MenuEntry& e : menuBarDeclaration()) {
        switch (e.kind) {
        case MenuEntry::Menu:
            menu = menuBar()->addMenu(QString::fromLatin1(e.text));
            menu->setToolTipsVisible(true);
            menu->menuAction()->setStatusTip(QString::fromLatin1(e.tip));
            menu->menuAction()->setToolTip(QString::fromLatin1(e.tip));
            break;
        case MenuEntry::Separator:
            menu->addSeparator();
            break;
        case MenuEntry::Item: {
            QAction* a = menu->addAction(QString::fromLatin1(e.text));
            a->setStatusTip(QString::fromLatin1(e.tip));
            a->setToolTip(QString::fromLatin1(e.tip));
            const MenuItem id = e.id;
            connect(a, &QAction::triggered, this, [this, id] { run(id); });
            actions_[id] = a;
            break;
        }
        }
    }
}

void MainWindow::setProcedure(MenuItem item, std::function<void()> procedure)
{
    procedures_[item] = std::move(procedure);
}

QAction* MainWindow::action(MenuItem item) const
{
    const auto it = actions_.find(item);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::run(MenuItem item)
{
    const auto it = procedures_.find(item);
    if (it != procedures_.end() && it->second)
        it->second();
}

QMdiSubWindow* MainWindow::addChildWindow(QWidget* window)
{
    // A window placed by hand has no size hint; it opens at its designed size.
    const QSize designed = window->testAttribute(Qt::WA_Resized) ? window->size() : QSize();
    QMdiSubWindow* sub = mdi_->addSubWindow(window);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    if (!window->windowIcon().isNull())
        sub->setWindowIcon(window->windowIcon());
    sub->show();
    if (designed.isValid())
        sub->resize(sub->size() - window->size() + designed);
    return sub;
}

void MainWindow::restoreSavedGeometry()
{
    const platform::IniFile ini(root_.iniFile());
    WidgetGeometry geometry(this);
    shell::restoreGeometry(geometry, ini, QString::fromLatin1(kFrameSection));
}

void MainWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        help::show(QStringLiteral("Main"), this);
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Child windows first: one that will not close (say, a form with unsaved
    // changes) keeps the frame open.
    mdi_->closeAllSubWindows();
    if (!mdi_->subWindowList().isEmpty()) {
        event->ignore();
        return;
    }

    if (!runtimelog::removeFile(root_.logFile()))
        qWarning("Cannot delete %s", qPrintable(platform::RootDir::nativePath(root_.logFile())));

    platform::IniFile ini(root_.iniFile());
    shell::saveGeometry(WidgetGeometry(this), ini, QString::fromLatin1(kFrameSection));
    QString error;
    if (!ini.sync(&error))
        qWarning("Window position not saved: %s", qPrintable(error));

    event->accept();
}

} // namespace kestrel::shell
