#pragma once

#include <editor_core/tbb/Job.h>

#include <functional>
#include <memory>

class QObject;
class QString;
class QWidget;

namespace core {
class ProgressDialog;
}

namespace base {

class ProgressJob;

// Runs a ProgressJob on the job queue under a modal progress dialog: the bar
// shows value * 100 / max of the job's progress, Cancel clears the job's
// keep-going flag (directly, so the worker sees it at its next report), and
// the dialog hides and deletes itself once the job is done, whatever its
// end. GUI thread only.
//
// The job's done handlers that must run while the dialog is still shown (a
// result window opening over it) are connected before start(); the dialog's
// own handlers come after them. A caller whose handler goes on with more
// work (another job under a dialog of its own) hands it to start() instead:
// it runs once the dialog has gone.
class JobProgressDialog
{
public:
    // Called with the job when it is done.
    using DoneHandler = std::function<void(const tbb::JobPtr &job)>;

    // Opens the dialog (title, text, modal, child of parent) and queues the
    // job. Returns the dialog, or null when the queue refused the job: the
    // dialog is gone again, the job will not run, and *refused (when given)
    // says why, in words for the user: the queue is shutting down, or the
    // system gives no thread to run the job on.
    static core::ProgressDialog *start(const std::shared_ptr<ProgressJob> &job, const QString &title,
                                       const QString &text, QWidget *parent, QString *refused = nullptr);

    // As above; when the job is done the dialog is hidden and deleted at
    // once, and then on_done runs with context as its receiver (not at all
    // once context is gone; the dialog closes all the same).
    static core::ProgressDialog *start(const std::shared_ptr<ProgressJob> &job, const QString &title,
                                       const QString &text, QWidget *parent, QObject *context, DoneHandler on_done,
                                       QString *refused = nullptr);
};

} // namespace base
