#include "editor/assembly/ui/diff_files_prompt.h"

#include "editor/assembly/ui/diff_files_widget.h"

#include "core/base/main_thread_runner.h"

#include <editor_core/View.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/tbb/Queue.h>

#include <QCoreApplication>
#include <QThread>
#include <QtDebug>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace assembly {

namespace {

// The user's answer, handed from the GUI thread to the waiting worker. The
// first answer wins; later ones (the dialog's destruction) change nothing.
struct Answer
{
    std::mutex mutex;
    std::condition_variable given;
    bool answered = false;
    int choice = 0;

    void give(int value)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (answered)
            return;
        answered = true;
        choice = value;
        given.notify_all();
    }
};

} // namespace

int DiffFilesPrompt::showDiffWidget(const QString &first, const QString &second, const QString &output)
{
    EC_ASSERT(QCoreApplication::instance() && QCoreApplication::instance()->thread() != QThread::currentThread());

    auto answer = std::make_shared<Answer>();
    const bool shown = MainThreadRunner::run(
            [&]() {
                QWidget *parent = depr::gui.main_window;
                auto dialog = new DiffFilesWidget(first, second, output, parent);
                QObject::connect(dialog, &DiffFilesWidget::selected, dialog, [dialog, answer](int choice) {
                    answer->give(choice);
                    dialog->hide();
                    dialog->deleteLater();
                });
                // Closed with its parent or with the application: the first
                // file stays, and the build goes on.
                QObject::connect(dialog, &QObject::destroyed, [answer]() { answer->give(0); });
                dialog->setWindowFlags(dialog->windowFlags() | Qt::WindowStaysOnTopHint);
                dialog->setModal(true);
                dialog->show();
            },
            MainThreadRunner::POLL_INTERVAL_MS);
    if (!shown) {
        qWarning() << "Build Tool: the collision dialog could not be shown; the first file is kept (" << output << ").";
        return 0;
    }

    std::unique_lock<std::mutex> lock(answer->mutex);
    const auto slice = std::chrono::milliseconds(MainThreadRunner::POLL_INTERVAL_MS);
    while (!answer->given.wait_for(lock, slice, [&answer]() { return answer->answered; })) {
        if (tbb::Queue::isShuttingDown() || !QCoreApplication::instance() || QCoreApplication::closingDown()) {
            qWarning() << "Build Tool: no answer from the collision dialog; the first file is kept (" << output << ").";
            return 0;
        }
    }
    return answer->choice;
}

} // namespace assembly
