#include "reports/progress.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrel::reports {

int ProgressMeter::ofRows(qint64 rows)
{
    return int(std::clamp<qint64>(rows * 100 / NominalRows, 0, 100));
}

int ProgressMeter::ofBytes(qint64 bytesRead, qint64 fileSize)
{
    if (fileSize <= 0)
        return 100;
    return int(std::clamp<qint64>(bytesRead * 100 / fileSize, 0, 100));
}

QString ProgressMeter::text(int percent)
{
    return QStringLiteral("%1% Completed").arg(percent, 3);
}

bool ProgressMeter::update(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == percent_)
        return false;
    percent_ = percent;
    return true;
}

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent),
      bar_(new QProgressBar),
      message_(new QLabel),
      completed_(new QLabel(QStringLiteral("0% Completed"))),
      cancel_(new QPushButton(QStringLiteral("Cancel")))
{
    setWindowTitle(QStringLiteral("Generating Report"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    completed_->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    layout->addWidget(message_);
    layout->addWidget(completed_);
    layout->addWidget(cancel_, 0, Qt::AlignHCenter);
    setMinimumWidth(320);
    connect(cancel_, &QPushButton::clicked, this, &ProgressWindow::reject);
}

void ProgressWindow::setPercent(int percent)
{
    if (!meter_.update(percent))
        return;
    bar_->setValue(meter_.percent());
    completed_->setText(ProgressMeter::text(meter_.percent()));
}

QString ProgressWindow::completedText() const
{
    return completed_->text();
}

int ProgressWindow::barValue() const
{
    return bar_->value();
}

void ProgressWindow::reject()
{
    emit cancelled();
    QDialog::reject();
}

} // namespace kestrel::reports
