#include "editor_core/core/CallLog.h"

#include <QMutexLocker>

namespace core {

void CallLog::record(const QString &call)
{
    QMutexLocker locker(&mutex_);
    calls_.append(call);
}

QStringList CallLog::calls() const
{
    QMutexLocker locker(&mutex_);
    return calls_;
}

bool CallLog::contains(const QString &call) const
{
    QMutexLocker locker(&mutex_);
    return calls_.contains(call);
}

int CallLog::count(const QString &call) const
{
    QMutexLocker locker(&mutex_);
    return calls_.count(call);
}

void CallLog::clear()
{
    QMutexLocker locker(&mutex_);
    calls_.clear();
}

} // namespace core
