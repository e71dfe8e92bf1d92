#pragma once
// Runs a report off the GUI thread. The procedure's body runs on a worker
// thread of its own: it opens its own record file handles and fills its own
// record buffers (never the global ones, which only the GUI thread touches),
// and works from values the procedure copied on the GUI thread before the
// start. Meanwhile the GUI thread shows "Generating Report"; Cancel there
// ends the run at once (the window closes, no pages are delivered, the worker
// stops at its next row). Several runners may run at the same time.

#include "reports/page.h"
#include "reports/pagesink.h"
#include "reports/progress.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

class QThread;
class QWidget;

namespace kestrel::reports {

// What the body sees of its run, on the worker thread.
class ReportRun {
public:
    ReportRun() = default;
    // A run straight into a sink (the command line), without a runner.
    explicit ReportRun(PageSink& sink, std::function<void(int)> progress = {})
        : sink_(&sink), progress_(std::move(progress)) {}
    PageSink& pages() { return *sink_; }
    // The run's percentage (0..100); shown when its whole number changes.
    void setProgress(int percent);
    // True once the user cancelled: the body should return at once.
    bool cancelled() const { return cancelled_.load(); }

private:
    friend class ReportRunner;
    PageList pages_;
    PageSink* sink_ = &pages_;
    std::atomic<bool> cancelled_{false};
    std::function<void(int)> progress_;
};

using ReportBody = std::function<void(ReportRun&)>;

class ReportRunner : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Cancelled, NoPages, Pages };

    // Shows the progress window (parented to `parent`) and starts the body on
    // a worker thread. The runner deletes itself after finished().
    static ReportRunner* start(ReportBody body, QWidget* parent = nullptr);
    ~ReportRunner() override;

    ProgressWindow* progressWindow() const { return progress_; }
    // The pages, once finished() said Outcome::Pages (taken by the receiver).
    std::vector<Page>& pages() { return run_->pages_.pages; }
    // Cancel, as the window's button does.
    void cancel();

signals:
    // On the GUI thread, once the worker has ended (or at once on Cancel).
    void finished(kestrel::reports::ReportRunner::Outcome outcome);
    void progressed(int percent);  // emitted by the worker

private:
    ReportRunner(ReportBody body, QWidget* parent);
    void workerEnded();

    ReportBody body_;
    std::shared_ptr<ReportRun> run_;
    QThread* thread_ = nullptr;
    QPointer<ProgressWindow> progress_;
    bool reported_ = false;
};

} // namespace kestrel::reports
