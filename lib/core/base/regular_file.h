#pragma once

#include <QByteArray>
#include <QString>

namespace base {

// Reads a user's file without ever waiting on it: only a regular file is
// read, its kind looked at after every link is resolved. A FIFO, a device or
// a socket (directly or through a link) is refused with its reason before
// anything is read: the open does not wait for a writer, and the kind of the
// opened descriptor is what counts, so a swap between a look and the open
// cannot block either.
class RegularFile
{
public:
    // Why a file of this mode (st_mode) is not read; empty for a regular
    // file.
    static QString whyNotRegular(unsigned mode);

    // Opens path for reading; the descriptor (blocking reads), or -1 with
    // the reason.
    static int open(const QString &path, QString *reason = nullptr);
    // The rest of an open file, at most limit bytes (more is an error);
    // false with the reason when it cannot be read.
    static bool readAll(int fd, qint64 limit, QByteArray &bytes, QString *reason = nullptr);
};

} // namespace base
