#include "core/base/widgets/job_progress_dialog.h"

#include "core/base/progress_job.h"

#include <editor_core/base/Assert.h>
#include <editor_core/core/ProgressDialog.h>
#include <editor_core/tbb/Queue.h>

namespace base {

core::ProgressDialog *JobProgressDialog::start(const std::shared_ptr<ProgressJob> &job, const QString &title,
                                               const QString &text, QWidget *parent)
{
    auto *dialog = new core::ProgressDialog(text, parent);
    dialog->setWindowTitle(title);
    dialog->setModal(true);
    dialog->show();

    ProgressJob *raw = job.get();
    QObject::connect(raw, &tbb::QJob::done, dialog, &QWidget::hide);
    QObject::connect(raw, &tbb::QJob::done, dialog, &QObject::deleteLater);
    QObject::connect(dialog, &core::ProgressDialog::cancelled, raw, &ProgressJob::cancel, Qt::DirectConnection);
    QObject::connect(
            raw, &ProgressJob::progress, dialog,
            [dialog](int max, int value) {
                EC_SOFT_ASSERT(max > 0);
                if (max > 0)
                    dialog->setProgress(int(qint64(value) * 100 / max));
            },
            Qt::QueuedConnection);

    if (!tbb::Queue::instance()->enqueue(job)) {
        delete dialog;
        return nullptr;
    }
    return dialog;
}

} // namespace base
