#pragma once

#include <QString>
#include <QVector>

namespace cleaner {

// A file that may hold references but could not be read or parsed: while a
// collection has any, its unused list may be incomplete.
struct ReadFailure
{
    QString path; // absolute
    QString reason;

    bool operator==(const ReadFailure &other) const { return path == other.path && reason == other.reason; }
};

using ReadFailures = QVector<ReadFailure>;

} // namespace cleaner
