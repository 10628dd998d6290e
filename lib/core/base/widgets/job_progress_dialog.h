#pragma once

#include <memory>

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
// own handlers come after them.
class JobProgressDialog
{
public:
    // Opens the dialog (title, text, modal, child of parent) and queues the
    // job. Returns the dialog, or null when the queue refused the job (it is
    // shutting down): the dialog is gone again and the job will not run.
    static core::ProgressDialog *start(const std::shared_ptr<ProgressJob> &job, const QString &title,
                                       const QString &text, QWidget *parent);
};

} // namespace base
