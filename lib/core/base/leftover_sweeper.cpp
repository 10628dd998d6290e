#include "core/base/leftover_sweeper.h"

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/MetaScan.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

const QLatin1String SCRATCH_PREFIX(".frame_");
const QLatin1String TEMPORARY_SUFFIX(".tmp");

// "<digits>-<tag>" (the tag digits only, or ASCII letters and digits): the
// process id; 0 when text is not so.
qint64 processMark(const QStringRef &text, bool digits_only)
{
    const int dash = text.indexOf(QLatin1Char('-'));
    if (dash < 1 || dash + 1 == text.size())
        return 0;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (i < dash ? !digit : i > dash && !(digit || (!digits_only && c.isLetter() && c.unicode() < 128)))
            return 0;
    }
    bool ok = false;
    const qint64 pid = text.left(dash).toLongLong(&ok);
    return ok && pid > 0 && pid <= INT_MAX ? pid : 0;
}

bool isFrameFile(const char *name)
{
    return std::strncmp(name, "frame_", 6) == 0;
}

// A scratch folder holds at most a frame and the temporary file of its
// write; anything else (a folder, a link, another name) keeps it whole.
bool removeScratch(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info;
    DIR *dir = ::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<std::string> names;
    bool ours = true;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (!std::strcmp(name, ".") || !std::strcmp(name, ".."))
            continue;
        struct stat entry_info;
        const bool plain = ::fstatat(fd, name, &entry_info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(entry_info.st_mode);
        if (!plain || !(isFrameFile(name) || LeftoverSweeper::temporaryProcess(QFile::decodeName(name)) > 0)) {
            ours = false;
            break;
        }
        names.emplace_back(name);
    }
    for (size_t i = 0; ours && i < names.size(); ++i)
        ours = ::unlinkat(fd, names[i].c_str(), 0) == 0;
    ::closedir(dir);
    return ours && ::rmdir(path.constData()) == 0;
}

} // namespace

LeftoverSweeper::LeftoverSweeper()
{
    listener_ = Velmora::MetaScan::addReadListener([this](const std::shared_ptr<const Velmora::MetaScan> &scan) {
        std::lock_guard<std::mutex> locker(mutex_);
        data_path_ = scan->data_path;
        marked_ = scan->marked_leftovers;
    });
}

LeftoverSweeper::~LeftoverSweeper()
{
    Velmora::MetaScan::removeReadListener(listener_);
}

int LeftoverSweeper::sweep()
{
    std::string data_path;
    std::vector<std::string> marked;
    {
        std::lock_guard<std::mutex> locker(mutex_);
        data_path.swap(data_path_);
        marked.swap(marked_);
    }
    if (data_path.empty())
        return 0;
    const QString data = QString::fromStdString(data_path);
    int removed = 0;
    for (const std::string &entry : marked) {
        const bool folder = !entry.empty() && entry.back() == '/';
        const QString path = data + QString::fromStdString(folder ? entry.substr(0, entry.size() - 1) : entry);
        if (!removeIfLeftOver(path))
            continue;
        ++removed;
        if (!folder && Velmora::FileSystem::isInitialized())
            Velmora::FileSystem::removeFile(path.toUtf8().constData());
    }
    removed += sweepFolder(data + QStringLiteral(".tamsel2"));
    removed += sweepFolder(data + QStringLiteral(".thumbnails"));
    if (removed > 0)
        Velmora::Log::message("Editor: removed %d file(s) left over by editors that were stopped while saving\n",
                              removed);
    return removed;
}

QString LeftoverSweeper::scratchName()
{
    return SCRATCH_PREFIX + QString::number(qint64(::getpid())) + QLatin1Char('-')
            + QString::number(QRandomGenerator::global()->generate64() & 0xffffffffffffULL, 36);
}

qint64 LeftoverSweeper::temporaryProcess(const QString &name)
{
    if (!name.startsWith(QLatin1Char('.')) || !name.endsWith(TEMPORARY_SUFFIX))
        return 0;
    const QStringRef rest = name.midRef(1, name.size() - 1 - TEMPORARY_SUFFIX.size());
    const int dot = rest.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? processMark(rest.mid(dot + 1), true) : 0;
}

qint64 LeftoverSweeper::scratchProcess(const QString &name)
{
    return name.startsWith(SCRATCH_PREFIX) ? processMark(name.midRef(SCRATCH_PREFIX.size()), false) : 0;
}

bool LeftoverSweeper::processRuns(qint64 pid)
{
    if (pid == qint64(::getpid()))
        return true;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

bool LeftoverSweeper::removeIfLeftOver(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qint64 temporary = temporaryProcess(name);
    const qint64 scratch = temporary > 0 ? 0 : scratchProcess(name);
    if ((temporary <= 0 && scratch <= 0) || processRuns(temporary > 0 ? temporary : scratch))
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (scratch > 0)
        return removeScratch(native);
    struct stat info;
    return ::lstat(native.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid()
            && ::unlink(native.constData()) == 0;
}

int LeftoverSweeper::sweepFolder(const QString &folder)
{
    int removed = 0;
    const QStringList names
            = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names)
        if (name.startsWith(QLatin1Char('.')) && removeIfLeftOver(folder + QLatin1Char('/') + name))
            ++removed;
    return removed;
}

} // namespace base
