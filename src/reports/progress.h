#pragma once
// The "Generating Report" window shown while a report renders, and the
// pacing arithmetic behind its percentage.

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrel::reports {

// The percentage a run has reached, redrawn only when its whole number changes.
class ProgressMeter {
public:
    // Rows against a nominal run of 500 rows (the single-claim reports).
    static constexpr int NominalRows = 500;
    static int ofRows(qint64 rows);
    // Bytes of the rows read so far against the file's size at the start.
    static int ofBytes(qint64 bytesRead, qint64 fileSize);
    // "  7% Completed": the whole percentage right-aligned in three positions.
    static QString text(int percent);
    // Takes a new percentage (capped at 0..100); true when the shown one changes.
    bool update(int percent);
    int percent() const { return percent_; }

private:
    int percent_ = 0;  // the window opens at 0
};

// Title "Generating Report", a bar from 0 to 100, an empty message line,
// "0% Completed" and "Cancel". Cancel emits cancelled() and closes it.
class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);
    // Shows the percentage; the texts change only with its whole number.
    void setPercent(int percent);
    QString completedText() const;
    int barValue() const;
    QPushButton* cancelButton() const { return cancel_; }

signals:
    void cancelled();

protected:
    void reject() override;  // Esc and closing count as Cancel

private:
    ProgressMeter meter_;
    QProgressBar* bar_;
    QLabel* message_;
    QLabel* completed_;
    QPushButton* cancel_;
};

} // namespace kestrel::reports
