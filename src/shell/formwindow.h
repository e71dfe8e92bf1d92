#pragma once
// The Qt window of an update form, generated from its FormDefinition: a sheet
// with the definition's tab(s) holding the prompts and controls, then the
// buttons. It shows what the FormEngine holds and hands every user action to
// it; the engine decides.
//
// runForm() is how a caller (a browse, an entry field) calls a form: it takes
// the request from CallRequest, runs the form modally (a Delete request runs
// without a window) and returns the response, also left in CallResponse.

#include "shell/callprotocol.h"
#include "shell/formdefinition.h"
#include "shell/formhost.h"

#include <QDialog>

#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace kestrel::shell {

class FormEngine;

// Runs the form for the request in CallRequest and returns CallResponse.
Response runForm(const FormDefinition& def, QWidget* parent = nullptr);

class FormWindow final : public QDialog, public FormHost {
    Q_OBJECT
public:
    FormWindow(FormEngine& engine, QWidget* parent = nullptr);
    ~FormWindow() override;

    FormEngine& engine() const { return engine_; }
    QTabWidget* sheet() const { return sheet_; }
    // The widget of control `index` (entry: QLineEdit, display: QLabel,
    // check: QCheckBox, radio: the group box), null for headings.
    QWidget* controlWidget(int index) const { return widgets_[std::size_t(index)]; }
    QLineEdit* entryOf(const QString& field) const;
    QPushButton* button(const QString& text) const;
    QPushButton* saveButton() const { return save_; }
    QPushButton* cancelButton() const { return cancel_; }

    // FormHost
    void refresh() override;
    void focusControl(int index) override;
    void rejected(int index, const QString& why) override;
    void closeWindow() override;
    void setWaitCursor(bool on) override;

    // The last refusal's reason (also shown as a tip at the field).
    QString lastRefusal() const { return lastRefusal_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    struct Metrics;
    struct Place;
    Metrics metrics() const;
    void build();
    // Builds a tab's controls from `index` on; returns the page's size.
    QSize buildPage(const FormTab& tab, QWidget* page, const Metrics& m, int& index);
    // One factory per kind of control: makes, places and connects its widget.
    QWidget* makeControl(const FormControl& c, int index, const Place& at);
    int placePrompt(const FormControl& c, const Place& at);
    QWidget* makeHeading(const FormControl& c, const Place& at);
    QWidget* makeEntry(const FormControl& c, int index, const Place& at);
    QWidget* makeDisplay(const FormControl& c, const Place& at);
    QWidget* makeCheck(const FormControl& c, int index, const Place& at);
    QWidget* makeRadios(const FormControl& c, int index, const Place& at);
    // The buttons; returns the size of their row.
    QSize makeButtons();
    void placeSheetAndButtons(QSize pageSize, QSize buttonRow);
    int indexOfWidget(const QObject* w) const;
    static bool isDittoKey(const QKeyEvent* e);

    FormEngine& engine_;
    QTabWidget* sheet_ = nullptr;
    std::vector<QWidget*> widgets_;
    std::vector<QButtonGroup*> groups_;
    std::vector<QPushButton*> buttons_;
    QPushButton* save_ = nullptr;
    QPushButton* cancel_ = nullptr;
    bool shownOnce_ = false;
    bool refreshing_ = false;
    int waitDepth_ = 0;
    QString lastRefusal_;
};

} // namespace kestrel::shell
