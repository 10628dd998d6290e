#include "core/base/leftover_sweeper.h"

#include "core/base/kept_files_journal.h"

#include <velmora/FileSystem.h>
#include <velmora/Log.h>
#include <velmora/MetaScan.h>
#include <velmora/OwnNames.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QVector>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

using Velmora::OwnNames::parse;

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// "frame_<digits>.<extension>", as the video grabber names a frame.
bool isFrameFile(const char *name)
{
    if (std::strncmp(name, "frame_", 6) != 0)
        return false;
    const char *at = name + 6;
    const char *digits = at;
    while (*at >= '0' && *at <= '9')
        ++at;
    return at > digits && *at == '.' && at[1] != '\0' && !std::strchr(at + 1, '.');
}

// A scratch folder holds at most one frame and the temporary file of its
// write, both plain files, and its claim; anything else (a second frame, a folder, a link,
// another name) keeps it whole.
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
    int frames = 0;
    int temporaries = 0;
    bool ours = true;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (!std::strcmp(name, ".") || !std::strcmp(name, ".."))
            continue;
        struct stat entry_info;
        const bool plain = ::fstatat(fd, name, &entry_info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(entry_info.st_mode);
        const bool temporary = parse(name) == Velmora::OwnNames::TEMPORARY;
        // Its grabber's claim on it, let go.
        if (plain && !std::strcmp(name, Velmora::OwnNames::CLAIM_FILE)) {
            names.emplace_back(name);
            continue;
        }
        frames += isFrameFile(name) ? 1 : 0;
        temporaries += temporary ? 1 : 0;
        if (!plain || !(isFrameFile(name) || temporary) || frames > 1 || temporaries > 1) {
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

// The kind of an entry name of ours, and the process id it carries.
Velmora::OwnNames::Kind ownEntry(const QString &name, qint64 *pid)
{
    long long value = 0;
    const Velmora::OwnNames::Kind kind = parse(QFile::encodeName(name).toStdString(), &value);
    *pid = value;
    return kind;
}

bool isOwnPlainFile(const QByteArray &path)
{
    struct stat info;
    return ::lstat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
}

// "<folder>/<pid>": a process's entries in a folder.
QString processInFolder(const QString &path, qint64 pid)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1) + QString::number(pid);
}

// The file a kept file belongs to, in its folder: the name it carries, or,
// when it carries only the start of a long name, the one file there it was
// made for. "" when that cannot be told.
QByteArray fileOfKept(const QByteArray &kept)
{
    const int slash = kept.lastIndexOf('/');
    const std::string kept_name = kept.mid(slash + 1).toStdString();
    const std::string name = Velmora::OwnNames::ownerName(kept_name);
    if (!name.empty())
        return kept.left(slash + 1) + QByteArray::fromStdString(name);
    QByteArray found;
    const QStringList names = QDir(QFile::decodeName(kept.left(slash + 1)))
                                      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : names) {
        const QByteArray native = QFile::encodeName(entry);
        if (Velmora::OwnNames::parse(native.toStdString()) == Velmora::OwnNames::NONE
            && Velmora::OwnNames::belongsTo(kept_name, native.toStdString())) {
            if (!found.isEmpty())
                return QByteArray();
            found = kept.left(slash + 1) + native;
        }
    }
    return found;
}

// A kept file that no journal names: its process was killed before it
// wrote over the file (a journal names a kept file first), so the file
// still has those contents and the kept one goes. Were the file gone, it was
// removed since: the kept one, the only copy, stays beside its name
// (*changed). True when it went.
bool settleUnlistedKept(const QString &path, QVector<KeptFilesJournal::Changed> *changed)
{
    qint64 pid = 0;
    if (ownEntry(nameOf(path), &pid) != Velmora::OwnNames::KEPT || LeftoverSweeper::ownerRuns(path, pid))
        return false;
    const QByteArray kept = QFile::encodeName(path);
    const QByteArray target = fileOfKept(kept);
    if (!isOwnPlainFile(kept) || target.isEmpty())
        return false;
    struct stat info;
    if (::lstat(target.constData(), &info) == 0)
        return S_ISREG(info.st_mode) && ::unlink(kept.constData()) == 0;
    if (errno == ENOENT)
        changed->append({QFile::decodeName(target), path});
    return false;
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

int LeftoverSweeper::sweep(QStringList *put_back)
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
    QStringList restored;
    QStringList kept;
    QVector<KeptFilesJournal::Changed> changed;
    QStringList listed_kept;
    QSet<QString> unresolved;
    // The journals first: they tell what their kept files are for.
    for (const std::string &entry : marked) {
        const QString path = data + QString::fromStdString(entry);
        qint64 pid = 0;
        const Velmora::OwnNames::Kind kind = ownEntry(nameOf(path), &pid);
        if (kind == Velmora::OwnNames::KEPT)
            kept << path;
        if (kind != Velmora::OwnNames::JOURNAL || ownerRuns(path, pid))
            continue;
        const KeptFilesJournal::Recovery recovery = KeptFilesJournal::recover(path);
        restored += recovery.put_back;
        changed += recovery.changed;
        listed_kept += recovery.kept;
        removed += recovery.resolved ? 1 : 0;
        // A journal that could not be dealt with may name more kept files
        // than it was read for: its process's kept files there stay.
        if (!recovery.resolved)
            unresolved << processInFolder(path, pid);
    }
    for (const QString &path : qAsConst(kept)) {
        qint64 pid = 0;
        ownEntry(nameOf(path), &pid);
        if (!listed_kept.contains(path) && !unresolved.contains(processInFolder(path, pid))
            && settleUnlistedKept(path, &changed))
            ++removed;
    }
    for (const std::string &entry : marked) {
        const bool folder = !entry.empty() && entry.back() == '/';
        const QString path = data + QString::fromStdString(folder ? entry.substr(0, entry.size() - 1) : entry);
        if (removeIfLeftOver(path))
            ++removed;
        // The engine's index lists the hidden files that are gone now.
        struct stat info;
        if (!folder && Velmora::FileSystem::isInitialized() && ::lstat(QFile::encodeName(path).constData(), &info) != 0)
            Velmora::FileSystem::removeFile(path.toUtf8().constData());
    }
    removed += sweepFolder(data + QStringLiteral(".tamsel2"));
    removed += sweepFolder(data + QStringLiteral(".thumbnails"));
    if (removed > 0)
        Velmora::Log::message("Editor: removed %d file(s) left over by editors that were stopped while saving\n",
                              removed);
    if (!restored.isEmpty()) {
        QStringList shown;
        for (const QString &path : qAsConst(restored))
            shown << path.mid(data.size());
        Velmora::Log::warning("Editor: an editor was stopped while it wrote over these files, which have their "
                              "earlier contents again: %s\n",
                              shown.join(QStringLiteral(", ")).toUtf8().constData());
    }
    if (!changed.isEmpty()) {
        QStringList shown;
        for (const KeptFilesJournal::Changed &file : qAsConst(changed))
            shown << QStringLiteral("%1 (earlier contents: %2)")
                             .arg(file.file.mid(data.size()), file.kept.mid(data.size()));
        Velmora::Log::warning("Editor: an editor was stopped while it wrote over these files, which were changed "
                              "since; they stay as they are, and their earlier contents are kept beside them: %s\n",
                              shown.join(QStringLiteral(", ")).toUtf8().constData());
    }
    if (put_back)
        *put_back = restored;
    return removed;
}

bool LeftoverSweeper::isScratchName(const QString &name)
{
    return parse(QFile::encodeName(name).toStdString()) == Velmora::OwnNames::SCRATCH;
}

bool LeftoverSweeper::ownerRuns(const QString &path, qint64 pid)
{
    return Velmora::OwnNames::ownerMayRun(QFile::encodeName(QDir::cleanPath(path)).toStdString(), pid);
}

bool LeftoverSweeper::removeIfLeftOver(const QString &path)
{
    qint64 pid = 0;
    const Velmora::OwnNames::Kind kind = ownEntry(nameOf(path), &pid);
    if ((kind != Velmora::OwnNames::TEMPORARY && kind != Velmora::OwnNames::SCRATCH) || ownerRuns(path, pid))
        return false;
    const QByteArray native = QFile::encodeName(path);
    if (kind == Velmora::OwnNames::SCRATCH)
        return removeScratch(native);
    return isOwnPlainFile(native) && ::unlink(native.constData()) == 0;
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
