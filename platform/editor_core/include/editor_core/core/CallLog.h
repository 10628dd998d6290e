#pragma once

#include <QMutex>
#include <QStringList>

namespace core {

// A thread-safe list of recorded calls ("init", "componentChanged <guid>"),
// kept by the placeholder classes so that tests can see what the editor
// asked of them.
class CallLog
{
public:
    void record(const QString &call);
    QStringList calls() const;
    bool contains(const QString &call) const;
    int count(const QString &call) const;
    void clear();

private:
    mutable QMutex mutex_;
    QStringList calls_;
};

} // namespace core
