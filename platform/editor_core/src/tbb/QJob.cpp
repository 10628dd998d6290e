#include "editor_core/tbb/QJob.h"

namespace tbb {

QJob::QJob(QObject *parent)
    : QObject(parent)
{}

QJob::~QJob() = default;

void QJob::notifyDone(const JobPtr &self)
{
    emit done(self);
}

} // namespace tbb
