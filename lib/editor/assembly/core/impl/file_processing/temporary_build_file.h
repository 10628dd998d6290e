#pragma once

#include "editor/assembly/core/operation_queue.h"

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace assembly {

// Files a build writes for itself (the GUID table, launcher settings and
// scripts) before the copier copies them. They live in the system's temporary
// folder, never in the working directory, and a post operation deletes them,
// which runs after success, failure and cancel alike.
class TemporaryBuildFile
{
public:
    // rw-r--r--: what a copied data file should carry (a temporary file is
    // made owner-only, and copies keep the mode of their source).
    static constexpr QFileDevice::Permissions DATA_PERMISSIONS
            = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    // rwxr-xr-x: for launcher scripts.
    static constexpr QFileDevice::Permissions SCRIPT_PERMISSIONS
            = DATA_PERMISSIONS | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;

    // Writes content into a new file "<temp folder>/<name_template>.XXXXXX"
    // with the given permissions and queues its deletion. Returns its
    // absolute path, or "" (with a critical log line) when it cannot be
    // written.
    static QString write(const QString &name_template, const QByteArray &content, post::OperationQueue &queue,
                         QFileDevice::Permissions permissions = DATA_PERMISSIONS);
};

} // namespace assembly
