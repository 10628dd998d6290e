#include "core/base/widgets/job_progress_dialog.h"

#include "core/base/progress_job.h"

#include <editor_core/base/Assert.h>
#include <editor_core/core/ProgressDialog.h>
#include <editor_core/tbb/Queue.h>

#include <QCoreApplication>
#include <QPointer>

namespace base {

namespace {

core::ProgressDialog *openDialog(const QString &title, const QString &text, QWidget *parent)
{
    auto *dialog = new core::ProgressDialog(text, parent);
    dialog->setWindowTitle(title);
    dialog->setModal(true);
    dialog->show();
    return dialog;
}

// The bar and Cancel follow the job; the dialog goes once the job is done.
void followJob(ProgressJob *job, core::ProgressDialog *dialog)
{
    QObject::connect(job, &tbb::QJob::done, dialog, &QWidget::hide);
    QObject::connect(job, &tbb::QJob::done, dialog, &QObject::deleteLater);
    QObject::connect(dialog, &core::ProgressDialog::cancelled, job, &ProgressJob::cancel, Qt::DirectConnection);
    QObject::connect(
            job, &ProgressJob::progress, dialog,
            [dialog](int max, int value) {
                EC_SOFT_ASSERT(max > 0);
                if (max > 0)
                    dialog->setProgress(int(qint64(value) * 100 / max));
            },
            Qt::QueuedConnection);
}

core::ProgressDialog *enqueue(const std::shared_ptr<ProgressJob> &job, core::ProgressDialog *dialog, QString *refused)
{
    tbb::Queue *queue = tbb::Queue::instance();
    if (queue->enqueue(job))
        return dialog;
    delete dialog;
    if (refused) {
        *refused = queue->isStopping()
                ? QCoreApplication::translate("base::JobProgressDialog", "the job queue is shutting down")
                : QCoreApplication::translate("base::JobProgressDialog",
                                              "the system gives the editor no thread to run it on; close other "
                                              "programs, or raise the limit on processes (ulimit -u) or on the "
                                              "address space (ulimit -v), and try again");
    }
    return nullptr;
}

} // namespace

core::ProgressDialog *JobProgressDialog::start(const std::shared_ptr<ProgressJob> &job, const QString &title,
                                               const QString &text, QWidget *parent, QString *refused)
{
    core::ProgressDialog *dialog = openDialog(title, text, parent);
    followJob(job.get(), dialog);
    return enqueue(job, dialog, refused);
}

core::ProgressDialog *JobProgressDialog::start(const std::shared_ptr<ProgressJob> &job, const QString &title,
                                               const QString &text, QWidget *parent, QObject *context,
                                               DoneHandler on_done, QString *refused)
{
    core::ProgressDialog *dialog = openDialog(title, text, parent);
    // Connected ahead of the dialog's own handlers, which find it gone.
    QPointer<core::ProgressDialog> shown(dialog);
    QObject::connect(job.get(), &tbb::QJob::done, context,
                     [shown, on_done = std::move(on_done)](const tbb::JobPtr &done) {
                         if (core::ProgressDialog *closing = shown.data()) {
                             closing->hide();
                             delete closing;
                         }
                         if (on_done)
                             on_done(done);
                     });
    followJob(job.get(), dialog);
    return enqueue(job, dialog, refused);
}

} // namespace base
