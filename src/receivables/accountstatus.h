#pragma once
// The account status browsers: the open receivables claim by claim, read
// only. Three linked lists on the three pages of a sheet:
//
//   "  Record  "   the claims with a balance due (INV:PATPRVDATEKEY order),
//                  with the highlighted claim's patient and insurance plans
//   "  Service  "  the highlighted claim's service lines (a charge above
//                  0.00 and a code other than 4) and its diagnosis codes
//   "  Payment  "  the highlighted claim's other lines: charges of 0.00 or
//                  less, and code 4 (refunds, "00004") whatever its amount,
//                  with the benefit amounts of the highlighted line
//
// Each page's list is limited by the highlight of the list before it and is
// refilled when that highlight moves. Every list has a "Current Balance:",
// the sum over its whole filtered list (not only the rows shown), read
// afresh at each fill (BrowseEngine::sumView). A read error while summing
// closes the window.
//
// The accounts current status browser lists every claim with INV:BDUE
// above zero; the carrier status browser only those that also name a
// primary insurance (INV:PRIMARY not zero). The print buttons start the
// claim forms (and, in the first, the claim's statement) for the highlighted
// claim, re-read first, and leave the window running.
//
// The window opens at its designed size, which is also its smallest; the
// lists, the sheet and the fields stretch with it (shell::ResizerAdapter).
// F1 shows its help page.

#include <QHash>
#include <QWidget>

#include <memory>
#include <string_view>

class QKeyEvent;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;
class QTabWidget;

namespace kestrel::shell {
class BrowseList;
struct BrowseDefinition;
class MainWindow;
} // namespace kestrel::shell

namespace kestrel::receivables {

enum class StatusKind { CurrentAccounts, Carrier };

class AccountStatusWindow final : public QWidget {
    Q_OBJECT
public:
    explicit AccountStatusWindow(StatusKind kind, QWidget* parent = nullptr);
    ~AccountStatusWindow() override;

    // A child window of the frame, deleted when closed.
    static QMdiSubWindow* openInMdi(StatusKind kind, QMdiArea* area);

    shell::BrowseList* claims() const { return claims_; }
    shell::BrowseList* services() const { return services_; }
    shell::BrowseList* payments() const { return payments_; }
    QTabWidget* sheet() const { return sheet_; }
    // The shown text of a field of the window ("PAT:LNAME", "CITY",
    // "ITM:ALW", "INV:DX1") or of a total ("TOTAL1".."TOTAL3").
    QString shown(const QString& name) const;
    // The print buttons by the report they start: "cms1", "cms1a", "cms2",
    // "cms2a", "invoice" (the statement; claims/accountreports.h).
    QPushButton* printButton(const QString& name) const;
    static QString helpTopic(StatusKind kind);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Definitions;
    int addListPage(int tab, const shell::BrowseDefinition& def, shell::BrowseList*& list);
    void buildRecordTab();
    void buildServiceTab();
    void buildPaymentTab();
    QLabel* addPrompt(QWidget* page, const QString& text, QPoint at);
    QLabel* addField(QWidget* page, const QString& name, const QString& prompt, int x, int y, int width);
    void claimMoved();
    void paymentMoved();
    void showTotal(int list, shell::BrowseList* from, const char* field);
    void print(const QString& name);

    StatusKind kind_;
    std::unique_ptr<Definitions> defs_;
    QTabWidget* sheet_ = nullptr;
    shell::BrowseList* claims_ = nullptr;
    shell::BrowseList* services_ = nullptr;
    shell::BrowseList* payments_ = nullptr;
    QHash<QString, QLabel*> shown_;
    QHash<QString, QPushButton*> prints_;
    bool started_ = false;
};

// "&Current Account Status ..." and "&Cuurent Carrier Status".
void connectStatusMenu(shell::MainWindow& frame);

} // namespace kestrel::receivables
