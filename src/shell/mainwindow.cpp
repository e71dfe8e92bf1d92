#include "shell/mainwindow.h"

#include "platform/inifile.h"
#include "shell/artwork.h"
#include "shell/geometry.h"
#include "shell/helpviewer.h"
#include "shell/printersettings.h"
#include "shell/runtimelog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
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

    // Alt+letter reaches a child's buttons before the menu bar's titles: the
    // shortcut override is asked of the focus widget, so only a filter on
    // the application sees it for every control of every child.
    qApp->installEventFilter(this);
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
    QMdiSubWindow* sub = showChildWindow(mdi_, window);
    if (!window->windowIcon().isNull())
        sub->setWindowIcon(window->windowIcon());
    return sub;
}

void MainWindow::restoreSavedGeometry()
{
    const platform::IniFile ini(root_.iniFile());
    WidgetGeometry geometry(this);
    shell::restoreGeometry(geometry, ini, QString::fromLatin1(kFrameSection));
}

namespace {

// The child window's enabled, shown buttons whose mnemonic is the key, in
// the order they were made (left to right for a row of buttons).
QList<QAbstractButton*> buttonsFor(QWidget* child, const QKeyEvent* key)
{
    const QKeySequence pressed(QKeyCombination(Qt::AltModifier, Qt::Key(key->key())));
    QList<QAbstractButton*> out;
    for (QAbstractButton* b : child->findChildren<QAbstractButton*>())
        if (b->isVisible() && b->isEnabled() && QKeySequence::mnemonic(b->text()) == pressed) out << b;
    return out;
}

} // namespace

bool MainWindow::childMnemonic(QWidget* target, QKeyEvent* key, bool press)
{
    if (key->modifiers() != Qt::AltModifier || !mdi_->isAncestorOf(target)) return false;
    QWidget* child = target;
    while (child && !qobject_cast<QMdiSubWindow*>(child)) child = child->parentWidget();
    if (!child) return false;
    const QList<QAbstractButton*> buttons = buttonsFor(child, key);
    if (buttons.isEmpty()) return false;
    key->accept();
    if (!press) return true;  // the override: the key comes back as a press
    if (buttons.size() == 1) {
        buttons.front()->animateClick();
        return true;
    }
    const qsizetype at = buttons.indexOf(qobject_cast<QAbstractButton*>(QApplication::focusWidget()));
    buttons[(at + 1) % buttons.size()]->setFocus(Qt::ShortcutFocusReason);
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress) return false;
    auto* target = qobject_cast<QWidget*>(watched);
    if (!target || target->window() != this) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (childMnemonic(target, key, type == QEvent::KeyPress)) return true;
    if (type == QEvent::KeyPress && key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier
        && !menuBar()->actions().isEmpty()) {
        menuBar()->setActiveAction(menuBar()->actions().front());
        return true;
    }
    return false;
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

MainWindow* frameOf(QWidget* w)
{
    for (; w; w = w->parentWidget())
        if (auto* frame = qobject_cast<MainWindow*>(w)) return frame;
    return nullptr;
}

PrinterSettings& printerSettingsFor(QWidget* w)
{
    if (MainWindow* frame = frameOf(w)) return frame->printerSettings();
    // A printer outlives neither the application nor its platform plugin:
    // it goes when the application does, and a later one gets a new one.
    static PrinterSettings* outsideTheFrame = nullptr;
    if (!outsideTheFrame) {
        outsideTheFrame = new PrinterSettings;
        qAddPostRoutine([] {
            delete outsideTheFrame;
            outsideTheFrame = nullptr;
        });
    }
    return *outsideTheFrame;
}

} // namespace kestrel::shell
