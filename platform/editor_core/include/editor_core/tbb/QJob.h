#pragma once

#include "editor_core/tbb/Job.h"

#include <QObject>

namespace tbb {

// A job that tells its end through a Qt signal: done(self) is emitted on the
// GUI thread, once, after the body returned (or after the queue cancelled it
// while queued). The queue keeps the job alive until done is delivered.
class QJob : public QObject, public Job
{
    Q_OBJECT

public:
    explicit QJob(QObject *parent = nullptr);
    ~QJob() override;

    void notifyDone(const JobPtr &self) override;

signals:
    void done(tbb::JobPtr job);
};

} // namespace tbb
