#include "reports/reportrunner.h"

#include "reports/progress.h"

#include <QThread>

#include <algorithm>

namespace kestrel::reports {

void ReportRun::setProgress(int percent)
{
    if (progress_)
        progress_(percent);
}

ReportRunner::ReportRunner(ReportBody body, QWidget* parent)
    : body_(std::move(body)), run_(std::make_shared<ReportRun>()), progress_(new ProgressWindow(parent))
{
    progress_->setAttribute(Qt::WA_DeleteOnClose);
    connect(progress_, &ProgressWindow::cancelled, this, &ReportRunner::cancel);
    connect(this, &ReportRunner::progressed, progress_, &ProgressWindow::setPercent, Qt::QueuedConnection);
    // The worker emits only when the whole percentage moves, so the queue stays short.
    auto last = std::make_shared<std::atomic<int>>(0);
    run_->progress_ = [this, last](int percent) {
        percent = std::clamp(percent, 0, 100);
        if (last->exchange(percent) != percent)
            emit progressed(percent);
    };
}

ReportRunner::~ReportRunner()
{
    if (progress_) {
        progress_->disconnect(this);
        progress_->close();
    }
}

ReportRunner* ReportRunner::start(ReportBody body, QWidget* parent)
{
    auto* runner = new ReportRunner(std::move(body), parent);
    runner->progress_->show();
    std::shared_ptr<ReportRun> run = runner->run_;
    ReportBody work = runner->body_;
    runner->thread_ = QThread::create([run, work] { work(*run); });
    connect(runner->thread_, &QThread::finished, runner, &ReportRunner::workerEnded);
    connect(runner->thread_, &QThread::finished, runner->thread_, &QObject::deleteLater);
    runner->thread_->start();
    return runner;
}

void ReportRunner::cancel()
{
    if (run_->cancelled_.exchange(true))
        return;
    if (progress_)
        progress_->close();
    if (!reported_) {
        reported_ = true;
        emit finished(Outcome::Cancelled);
    }
}

void ReportRunner::workerEnded()
{
    thread_ = nullptr;
    if (!reported_) {
        reported_ = true;
        if (progress_) {
            progress_->disconnect(this);  // closing it now is no Cancel
            progress_->close();
        }
        emit finished(run_->pages_.pages.empty() ? Outcome::NoPages : Outcome::Pages);
    }
    deleteLater();
}

} // namespace kestrel::reports
