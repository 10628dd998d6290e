#include "editor/video_grabber/frame_scratch_folder.h"

#include <editor_core/fs/FileSystem.h>

#include <velmora/OwnNames.h>

#include <QFile>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int MAX_NAME_ATTEMPTS = 16;

} // namespace

FrameScratchFolder::FrameScratchFolder(const QString &folder)
{
    for (int attempt = 0; attempt < MAX_NAME_ATTEMPTS; ++attempt) {
        const QString path = folder + QLatin1Char('/')
                + QString::fromStdString(Velmora::OwnNames::make(Velmora::OwnNames::SCRATCH, {}));
        // The mode is given at creation: nothing to change afterwards.
        const QByteArray native = QFile::encodeName(path);
        if (::mkdir(native.constData(), 0700) == 0) {
            path_ = path;
            // Held while it is used: a grabber elsewhere that shares the
            // folder (in a container, on another machine) leaves it alone.
            Velmora::OwnNames::claim(native.toStdString());
            return;
        }
        if (errno == EEXIST)
            continue;
        // A full FAT folder reports the failure but keeps a half-made
        // entry: the name was free, so what is there now is that one.
        const int error = errno;
        ::rmdir(native.constData());
        errno = error;
        return;
    }
}

FrameScratchFolder::~FrameScratchFolder()
{
    if (path_.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(path_);
    Velmora::OwnNames::release(path.toStdString());
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr) {
        while (const dirent *entry = ::readdir(dir))
            if (std::strcmp(entry->d_name, ".") && std::strcmp(entry->d_name, ".."))
                ::unlinkat(fd, entry->d_name, 0);
        ::closedir(dir);
    } else if (fd >= 0) {
        ::close(fd);
    }
    ::rmdir(path.constData());
}

bool FrameScratchFolder::moveOut(const QString &name, const QString &target)
{
    return fs::moveToFreeName(QFile::encodeName(filePath(name)), QFile::encodeName(target));
}
