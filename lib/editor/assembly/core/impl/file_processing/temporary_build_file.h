#pragma once

#include "editor/assembly/core/operation_queue.h"

#include <QByteArray>
#include <QString>

namespace assembly {

// Files a build writes for itself (the GUID table, launcher settings and
// scripts) before the copier copies them. They live in the system's temporary
// folder, never in the working directory, and a post operation deletes them,
// which runs after success, failure and cancel alike.
class TemporaryBuildFile
{
public:
    // Writes content into a new file "<temp folder>/<name_template>.XXXXXX"
    // and queues its deletion. Returns its absolute path, or "" (with a
    // critical log line) when it cannot be written.
    static QString write(const QString &name_template, const QByteArray &content, post::OperationQueue &queue);
};

} // namespace assembly
