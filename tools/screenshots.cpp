// kestrel_screenshots [DIR]: the pictures of the README, grabbed from the
// real windows. A temporary root is filled with the sample practice, the
// frame opens and is wired as the program wires it (app/frame.h), and every
// window is opened the way a user opens it: from its menu item, then by the
// buttons of the windows on the way. Each is grabbed to DIR/<name>.png
// (docs/screens by default) at one fixed frame size and at 1x, so the
// pictures change only when a window does.
//
// Every menu item that should open something must open it: the tour ends
// with status 1 when one does not, when a window does not come within its
// time, or when any standard message was raised on the way.
#include "frame.h"

#include "receivables/accountstatus.h"
#include "data/demopractice.h"
#include "data/file_access.h"
#include "data/messages.h"
#include "data/records.h"
#include "managers/backupwindows.h"
#include "platform/rootdir.h"
#include "shell/browselist.h"
#include "shell/browsewindow.h"
#include "shell/mainwindow.h"
#include "shell/menus.h"
#include "shell/printersettings.h"
#include "shell/startup.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <set>

using namespace kestrel;
using shell::MenuItem;

namespace {

// The frame's size in every picture; the windows open at their designed
// sizes inside it.
constexpr QSize kFrameSize{1024, 740};
// How long a window or a report may take to come (the machine may be busy).
constexpr int kWaitMs = 60000;
// The account the claim windows are shown on, found by the list's step
// locator (one letter: the first name under it): Anderson, Paul R, with
// three claims, a payment, an adjustment and a refund.
constexpr const char* kAccountLocator = "A";

// Standard messages have no place in the tour: each is printed and counted.
class TourMessages final : public data::ConsoleMessageService {
public:
    int count = 0;

protected:
    data::Button present(const data::Message& m) override
    {
        ++count;
        return ConsoleMessageService::present(m);
    }
};

void settle()
{
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    QTest::qWait(50);
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

// The first list of a window, once it shows rows.
bool listFilled(QWidget* w)
{
    const auto* list = w->findChild<QTableView*>();
    return list && list->model() && list->model()->rowCount() > 0;
}

class Tour {
public:
    Tour(QString dir, shell::MainWindow& frame) : dir_(std::move(dir)), frame_(frame) {}

    int failures() const { return failures_; }
    const std::set<MenuItem>& itemsOpened() const { return opened_; }

    void fail(const QString& what)
    {
        ++failures_;
        std::fprintf(stderr, "screenshots: %s\n", qPrintable(what));
    }

    // Saves the window as it is drawn now, at 1x, compressed hard.
    void grab(QWidget* w, const QString& name)
    {
        settle();
        const QString path = dir_ + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!w->grab().toImage().save(path, "PNG", 0))
            fail(QStringLiteral("could not write ") + path);
        else
            std::printf("%s\n", qPrintable(path));
    }
    // Clicks the window's shown button labelled `text`.
    void press(QWidget* w, const QString& text)
    {
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == text && b->isVisible()) return b->click();
        fail(w->windowTitle() + QStringLiteral(": no button ") + text);
    }
    void grabFrame(const QString& name) { grab(&frame_, name); }
    // A child window of the frame with its title bar, without the frame's
    // picture around it (which would only make the file large).
    void grabChild(QWidget* child, const QString& name) { grab(child->parentWidget(), name); }

    // Runs `trigger`, which opens a modal window titled `title` (at once or
    // later), then `body` inside that window's own loop; the window is
    // closed afterwards if `body` left it open. Returns when it is done.
    void inModal(const QString& title, const std::function<void()>& trigger,
                 const std::function<void(QWidget*)>& body)
    {
        QPointer<QWidget> before = QApplication::activeModalWidget();
        bool done = false;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w == before || w->windowTitle() != title || !w->isVisible()) return;
            poll.stop();
            QPointer<QWidget> window = w;
            if (!QTest::qWaitForWindowExposed(w)) fail(title + QStringLiteral(": never shown"));
            settle();
            body(w);
            if (window && window->isVisible()) window->close();
            done = true;
        });
        poll.start();
        trigger();
        if (!QTest::qWaitFor([&] { return done; }, kWaitMs)) {
            poll.stop();
            fail(title + QStringLiteral(": the window did not open"));
        }
    }

    // The menu item's child window, once its first list is filled.
    QWidget* openFromMenu(MenuItem item)
    {
        frame_.action(item)->trigger();
        QWidget* child = nullptr;
        (void)QTest::qWaitFor([&] {
            const auto subs = frame_.mdiArea()->subWindowList();
            child = subs.isEmpty() ? nullptr : subs.back()->widget();
            return child && listFilled(child);
        }, kWaitMs);
        if (!child) {
            fail(frame_.action(item)->text() + QStringLiteral(": no window opened"));
            return nullptr;
        }
        if (!listFilled(child)) fail(child->windowTitle() + QStringLiteral(": the list stayed empty"));
        opened_.insert(item);
        settle();
        return child;
    }
    void closeChildren()
    {
        frame_.mdiArea()->closeAllSubWindows();
        if (!QTest::qWaitFor([this] { return frame_.mdiArea()->subWindowList().isEmpty(); }, kWaitMs))
            fail(QStringLiteral("a child window did not close"));
    }

    // A modal window or a report preview started from the menu.
    void menuModal(MenuItem item, const QString& title, const QString& name)
    {
        inModal(title, [this, item] { frame_.action(item)->trigger(); }, [this, item, name](QWidget* w) {
            opened_.insert(item);
            grab(w, name);
        });
    }

    void managers();
    void accounts();
    void claimForm(QWidget* form);
    void payments();
    void status();
    void reports();
    void backup();

private:
    QString dir_;
    shell::MainWindow& frame_;
    int failures_ = 0;
    std::set<MenuItem> opened_;
};

// Highlights the first row at or after `text` by the list's step locator.
void locate(QWidget* window, const char* text)
{
    auto* list = window->findChild<QTableView*>();
    list->setFocus();
    QTest::keyClicks(list, QString::fromLatin1(text));
    settle();
}

void Tour::managers()
{
    const std::pair<MenuItem, const char*> browsers[] = {
        {MenuItem::ProviderManager, "provider-manager"},
        {MenuItem::CptManager, "cpt-manager"},
        {MenuItem::IcdManager, "icd-manager"},
        {MenuItem::InsuranceNameManager, "insurance-manager"},
    };
    for (const auto& [item, name] : browsers) {
        if (QWidget* browser = openFromMenu(item)) grabChild(browser, QString::fromLatin1(name));
        closeChildren();
    }
    // The patients, and one patient's form from there.
    if (QWidget* patients = openFromMenu(MenuItem::PatientManager)) {
        grabChild(patients, QStringLiteral("patient-manager"));
        locate(patients, kAccountLocator);
        inModal(QStringLiteral("Record will be changed"), [this, patients] { press(patients, QStringLiteral("&Change")); },
                [this](QWidget* form) { grab(form, QStringLiteral("patient-form")); });
    }
    closeChildren();
}

void Tour::accounts()
{
    QWidget* accounts = openFromMenu(MenuItem::InvoiceBrowser);
    if (!accounts) return;
    locate(accounts, kAccountLocator);
    grabFrame(QStringLiteral("frame"));
    grabChild(accounts, QStringLiteral("invoice-browser"));
    inModal(QStringLiteral("Patient Account Browser"), [this, accounts] { press(accounts, QStringLiteral("&Open")); },
            [this](QWidget* claims) {
                if (!QTest::qWaitFor([claims] { return listFilled(claims); }, kWaitMs))
                    fail(QStringLiteral("the patient's claims window shows no claim"));
                grab(claims, QStringLiteral("patient-claims"));
                inModal(QStringLiteral("Record will be changed"),
                        [this, claims] { press(claims, QStringLiteral("&Change")); },
                        [this](QWidget* form) { claimForm(form); });
            });
    closeChildren();
}

// Every page of the claim data form, and the service editor on the first
// line of box 24.
void Tour::claimForm(QWidget* form)
{
    auto* sheet = form->findChild<QTabWidget*>();
    for (int tab = 0; tab < sheet->count(); ++tab) {
        sheet->setCurrentIndex(tab);
        grab(form, QStringLiteral("claim-form-%1").arg(tab + 1));
    }
    constexpr int kServicesTab = 2;
    sheet->setCurrentIndex(kServicesTab);
    QWidget* services = sheet->widget(kServicesTab);
    if (!listFilled(services)) fail(QStringLiteral("the claim shows no service line"));
    inModal(QStringLiteral("Record will be changed"),
            [this, services] { press(services, QStringLiteral("&Change")); },
            [this](QWidget* editor) { grab(editor, QStringLiteral("service-editor")); });
}

void Tour::payments()
{
    QWidget* accounts = openFromMenu(MenuItem::PaymentBrowser);
    if (!accounts) return;
    locate(accounts, kAccountLocator);
    grabChild(accounts, QStringLiteral("payment-accounts"));
    inModal(QStringLiteral("Payment Browser"), [this, accounts] { press(accounts, QStringLiteral("&Open")); },
            [this](QWidget* claims) {
                if (!QTest::qWaitFor([claims] { return listFilled(claims); }, kWaitMs))
                    fail(QStringLiteral("the payment browser shows no claim"));
                grab(claims, QStringLiteral("payment-browser"));
                inModal(QStringLiteral("Receivables Browser"),
                        [this, claims] { press(claims, QStringLiteral("&Change")); },
                        [this](QWidget* lines) {
                            if (!QTest::qWaitFor([lines] { return listFilled(lines); }, kWaitMs))
                                fail(QStringLiteral("the receivables browser shows no transaction"));
                            grab(lines, QStringLiteral("receivables-browser"));
                            inModal(QStringLiteral("Record Will Be Changed"),
                                    [this, lines] { press(lines, QStringLiteral("&Change")); },
                                    [this](QWidget* editor) { grab(editor, QStringLiteral("receivables-editor")); });
                        });
            });
    closeChildren();
}

// Both status browsers; the first on each page of its sheet.
void Tour::status()
{
    if (auto* window = qobject_cast<receivables::AccountStatusWindow*>(openFromMenu(MenuItem::CurrentAccountStatus))) {
        const char* pages[] = {"account-status", "account-status-services", "account-status-payments"};
        for (int tab = 0; tab < window->sheet()->count() && tab < int(std::size(pages)); ++tab) {
            window->sheet()->setCurrentIndex(tab);
            grabChild(window, QString::fromLatin1(pages[tab]));
        }
    }
    closeChildren();
    if (QWidget* window = openFromMenu(MenuItem::CurrentCarrierStatus)) grabChild(window, QStringLiteral("carrier-status"));
    closeChildren();
}

void Tour::reports()
{
    const QString preview = QStringLiteral("Report Preview");
    menuModal(MenuItem::AccountStatement, preview, QStringLiteral("preview-outstanding"));
    menuModal(MenuItem::ClaimInBlankForm, preview, QStringLiteral("preview-claims-blank"));
    menuModal(MenuItem::ClaimInCms1500Form, preview, QStringLiteral("preview-claims-preprinted"));
}

// The confirmations are left with Cancel (closing them): nothing is copied.
void Tour::backup()
{
    menuModal(MenuItem::BackupFiles, QStringLiteral("Confirm Backup"), QStringLiteral("confirm-backup"));
    menuModal(MenuItem::ReloadBackupFiles, QStringLiteral("Confirm Reload"), QStringLiteral("confirm-reload"));
}

// The items that open nothing of their own: the booklet (nothing, by
// design), the system's printer dialog and Exit.
bool opensAWindow(MenuItem item)
{
    return item != MenuItem::Booklet && item != MenuItem::PrinterSetup && item != MenuItem::Exit;
}

int tour(const QString& dir)
{
    QTemporaryDir scratch;
    const platform::RootDir root(scratch.path());
    QString error;
    if (!scratch.isValid() || !root.ensureExists(&error)) {
        std::fprintf(stderr, "screenshots: no temporary root: %s\n", qPrintable(error));
        return 1;
    }
    TourMessages messages;
    data::setMessageService(&messages);
    data::setDataDirectory(root.dataDir());
    if (data::loadDemoPractice().result != data::DemoLoad::Result::Loaded) {
        std::fprintf(stderr, "screenshots: the sample practice did not load\n");
        return 1;
    }

    shell::PrinterSettings printer;
    shell::StartUpSteps steps;
    steps.clearRecordBuffers = data::clearAllBuffers;
    const auto frame = shell::startUp(root, printer, steps);
    app::connectFrameMenu(*frame);
    // As the program sets it: the kestrel executable built beside this one.
    managers::setBackupCommand({QCoreApplication::applicationDirPath() + QStringLiteral("/kestrel"),
                                {QStringLiteral("--root"), root.path()}});
    frame->resize(kFrameSize);
    if (!QTest::qWaitForWindowExposed(frame.get())) return 1;

    Tour tour(dir, *frame);
    tour.managers();
    tour.accounts();
    tour.payments();
    tour.status();
    tour.reports();
    tour.backup();

    int items = 0;
    for (const shell::MenuEntry& e : shell::menuBarDeclaration()) {
        if (e.kind != shell::MenuEntry::Item || !opensAWindow(e.id)) continue;
        ++items;
        if (!tour.itemsOpened().count(e.id)) tour.fail(QString::fromLatin1(e.text) + QStringLiteral(": not opened"));
    }
    std::printf("%zu of %d menu items opened their windows\n", tour.itemsOpened().size(), items);
    frame->close();
    data::setMessageService(nullptr);
    if (messages.count) tour.fail(QStringLiteral("%1 standard message(s) on the way").arg(messages.count));
    return tour.failures() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KESTREL"));
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs/screens");
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "screenshots: cannot make %s\n", qPrintable(dir));
        return 1;
    }
    return tour(dir);
}
