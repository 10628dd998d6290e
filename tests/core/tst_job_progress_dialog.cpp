// The shared job helper as its users run it: a ProgressJob queued under the
// modal progress dialog, ended normally, by a failure, or by the dialog's
// Cancel button while the work is still running; and a done handler that
// goes on with more work once the dialog has gone.

#include "core/base/progress_job.h"
#include "core/base/widgets/job_progress_dialog.h"

#include <editor_core/core/ProgressDialog.h>
#include <editor_core/tbb/Queue.h>

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <atomic>

namespace {

// Reports steps 0..steps; fails at step fail_at (when >= 0); after the step
// pause_at it waits until the test lets it go on.
class CountingJob : public base::ProgressJob
{
public:
    CountingJob(int steps, int fail_at, int pause_at)
        : steps_(steps)
        , fail_at_(fail_at)
        , pause_at_(pause_at)
    {}

    void run(const tbb::JobPtr & /*self*/) override
    {
        const ProgressCallback report = progressCallback();
        bool ok = true;
        for (int step = 0; step <= steps_ && ok; ++step) {
            if (!report(steps_, step))
                break;
            if (step == pause_at_) {
                paused.store(true);
                while (!resume.load())
                    QThread::msleep(1);
            }
            ok = step != fail_at_;
            last_step.store(step);
        }
        finish(ok);
    }

    std::atomic<bool> paused{false};
    std::atomic<bool> resume{false};
    std::atomic<int> last_step{-1};

private:
    int steps_;
    int fail_at_;
    int pause_at_;
};

int progressDialogCount()
{
    int count = 0;
    for (QWidget *widget : QApplication::allWidgets())
        count += qobject_cast<core::ProgressDialog *>(widget) ? 1 : 0;
    return count;
}

} // namespace

class JobProgressDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void the_dialog_follows_the_job_and_goes_with_its_end_data();
    void the_dialog_follows_the_job_and_goes_with_its_end();
    void cancel_in_the_dialog_stops_the_running_work_and_ends_it_cancelled();
    void a_done_handler_runs_once_the_dialog_has_gone_and_may_start_the_next_job();
    void without_the_handler_s_receiver_the_dialog_still_goes();
};

void JobProgressDialogTest::the_dialog_follows_the_job_and_goes_with_its_end_data()
{
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("fail_at");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("percent_seen");
    QTest::newRow("a million steps, done") << 1000000 << -1 << int(tbb::JobInterface::STATUS_DONE) << 100;
    QTest::newRow("three steps, done") << 3 << -1 << int(tbb::JobInterface::STATUS_DONE) << 100;
    QTest::newRow("failed at 40 %") << 1000 << 400 << int(tbb::JobInterface::STATUS_FAILED) << 40;
}

void JobProgressDialogTest::the_dialog_follows_the_job_and_goes_with_its_end()
{
    QFETCH(int, steps);
    QFETCH(int, fail_at);
    QFETCH(int, status);
    QFETCH(int, percent_seen);

    auto job = std::make_shared<CountingJob>(steps, fail_at, -1);
    QSignalSpy progress(job.get(), &base::ProgressJob::progress);
    QSignalSpy done(job.get(), &tbb::QJob::done);
    int last_percent = -1;
    QPointer<core::ProgressDialog> dialog
            = base::JobProgressDialog::start(job, QStringLiteral("Title"), QStringLiteral("Working"), nullptr);
    QVERIFY(dialog);
    QVERIFY(dialog->isModal() && dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Title"));
    // Sampled when the job ends: the dialog still exists then.
    connect(job.get(), &tbb::QJob::done, this, [&] { last_percent = dialog ? dialog->progress() : -2; });

    QVERIFY(done.wait(10000));
    QCOMPARE(int(job->getStatus()), status);
    QCOMPARE(last_percent, percent_seen);
    // One report per shown percent at the most, whatever the step count.
    QVERIFY2(progress.count() <= 101, qPrintable(QString::number(progress.count())));
    QTRY_VERIFY(!dialog);
}

void JobProgressDialogTest::cancel_in_the_dialog_stops_the_running_work_and_ends_it_cancelled()
{
    auto job = std::make_shared<CountingJob>(100, -1, 30);
    QSignalSpy done(job.get(), &tbb::QJob::done);
    QPointer<core::ProgressDialog> dialog
            = base::JobProgressDialog::start(job, QStringLiteral("Title"), QStringLiteral("Working"), nullptr);
    QVERIFY(dialog);
    QTRY_VERIFY(job->paused.load());
    // The flag is cleared at once, on the GUI thread, not through the queue.
    QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    QVERIFY(job->isCancelled());
    job->resume.store(true);

    QVERIFY(done.wait(5000));
    QCOMPARE(int(job->getStatus()), int(tbb::JobInterface::STATUS_CANCELLED));
    // The work stopped at its next report.
    QCOMPARE(job->last_step.load(), 30);
    QTRY_VERIFY(!dialog);
}

void JobProgressDialogTest::a_done_handler_runs_once_the_dialog_has_gone_and_may_start_the_next_job()
{
    auto first = std::make_shared<CountingJob>(10, -1, -1);
    auto second = std::make_shared<CountingJob>(10, -1, -1);
    QSignalSpy second_done(second.get(), &tbb::QJob::done);
    QObject receiver;
    QPointer<core::ProgressDialog> first_dialog;
    QPointer<core::ProgressDialog> second_dialog;
    tbb::JobInterface *handled = nullptr;
    int dialogs_seen = -1;
    first_dialog = base::JobProgressDialog::start(
            first, QStringLiteral("Title"), QStringLiteral("First"), nullptr, &receiver, [&](const tbb::JobPtr &done) {
                handled = done.get();
                dialogs_seen = progressDialogCount();
                second_dialog = base::JobProgressDialog::start(second, QStringLiteral("Title"),
                                                               QStringLiteral("Second"), nullptr);
            });
    QVERIFY(first_dialog);

    QVERIFY(second_done.wait(10000));
    QCOMPARE(handled, static_cast<tbb::JobInterface *>(first.get()));
    // Not hidden and left for later: deleted before the handler ran.
    QCOMPARE(dialogs_seen, 0);
    QVERIFY(!first_dialog);
    QCOMPARE(int(second->getStatus()), int(tbb::JobInterface::STATUS_DONE));
    QTRY_VERIFY(!second_dialog);
}

void JobProgressDialogTest::without_the_handler_s_receiver_the_dialog_still_goes()
{
    auto job = std::make_shared<CountingJob>(10, -1, 5);
    QSignalSpy done(job.get(), &tbb::QJob::done);
    auto receiver = std::make_unique<QObject>();
    bool handled = false;
    QPointer<core::ProgressDialog> dialog
            = base::JobProgressDialog::start(job, QStringLiteral("Title"), QStringLiteral("Working"), nullptr,
                                             receiver.get(), [&handled](const tbb::JobPtr &) { handled = true; });
    QVERIFY(dialog);
    QTRY_VERIFY(job->paused.load());
    receiver.reset();
    job->resume.store(true);

    QVERIFY(done.wait(10000));
    QVERIFY(!handled);
    QTRY_VERIFY(!dialog);
    QCOMPARE(progressDialogCount(), 0);
}

QTEST_MAIN(JobProgressDialogTest)
#include "tst_job_progress_dialog.moc"
