#include "core/base/kept_files_journal.h"

#include <editor_core/fs/FileSystem.h>

#include <velmora/OwnNames.h>
#include <velmora/WriteWatch.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QPair>

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace {

const QByteArray HEADER("velmora kept files 1\n");
constexpr qint64 MAX_SIZE = 1 << 20;

QString folderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool sameFolder(const QString &a, const QString &b)
{
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

QString nameOf(const QString &path)
{
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// A kept file for the file named file, of the process pid when pid is not
// negative.
bool isKeptFor(const QString &kept, const QString &file, long long pid)
{
    const std::string name = QFile::encodeName(kept).toStdString();
    long long owner = 0;
    return !file.isEmpty() && !file.contains(QLatin1Char('/')) && !kept.contains(QLatin1Char('/'))
            && Velmora::OwnNames::parse(name, &owner) == Velmora::OwnNames::KEPT && (pid < 0 || owner == pid)
            && Velmora::OwnNames::belongsTo(name, QFile::encodeName(file).toStdString());
}

QByteArray checksumOf(const QByteArray &contents)
{
    return QCryptographicHash::hash(contents, QCryptographicHash::Sha1).toHex();
}

// The checksum of the plain file at path (never a link, nor a FIFO that
// would block); "" when it cannot be read whole.
QByteArray fileChecksum(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    struct stat info;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    while (ok) {
        const ssize_t read = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (read < 0 && errno == EINTR)
            continue;
        if (read <= 0) {
            ok = read == 0;
            break;
        }
        hash.addData(buffer.constData(), int(read));
    }
    ::close(fd);
    return ok ? hash.result().toHex() : QByteArray();
}

// The whole of a small plain file of this user (never a link, nor a FIFO
// that would block); "" when it is anything else.
QByteArray readOwnFile(const QByteArray &path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    struct stat info;
    QByteArray bytes;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_size <= MAX_SIZE) {
        bytes.resize(int(info.st_size));
        ssize_t got = 0;
        while (got < info.st_size) {
            const ssize_t read = ::read(fd, bytes.data() + got, size_t(info.st_size - got));
            if (read < 0 && errno == EINTR)
                continue;
            if (read <= 0)
                break;
            got += read;
        }
        bytes.resize(int(got));
    }
    ::close(fd);
    return bytes;
}

// Whether the file at path still has what a stopped change left under it:
// what it was about to put there (checksum put), or the kept contents.
bool isAsLeft(const QByteArray &path, const QByteArray &kept, const QByteArray &put)
{
    const QByteArray present = fileChecksum(path);
    return !present.isEmpty() && ((!put.isEmpty() && present == put) || present == fileChecksum(kept));
}

} // namespace

KeptFilesJournal::KeptFilesJournal(const QString &folder, const QString &label)
    : folder_(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'))
    , label_(label)
{}

bool KeptFilesJournal::entryOf(const Kept &kept, bool drop, Entry *entry, QString *error) const
{
    if (!sameFolder(folderOf(kept.file), folder_) || !sameFolder(folderOf(kept.kept), folder_)
        || !isKeptFor(nameOf(kept.kept), nameOf(kept.file), -1)) {
        *error = QStringLiteral("the kept file is not beside its file");
        return false;
    }
    *entry = {nameOf(kept.file), nameOf(kept.kept), drop, QByteArray()};
    return true;
}

bool KeptFilesJournal::add(const QString &file, const QString &kept, QString *error)
{
    Entry entry;
    if (!entryOf({file, kept}, false, &entry, error))
        return false;
    entries_.append(entry);
    if (write(error))
        return true;
    entries_.removeLast();
    return false;
}

bool KeptFilesJournal::expect(const QString &file, const QByteArray &contents, QString *error)
{
    if (!sameFolder(folderOf(file), folder_))
        return true;
    const QString name = nameOf(file);
    for (Entry &entry : entries_) {
        if (entry.drop || entry.file != name)
            continue;
        const QByteArray earlier = entry.put;
        entry.put = checksumOf(contents);
        if (write(error))
            return true;
        entry.put = earlier;
        return false;
    }
    return true;
}

std::unique_ptr<Velmora::WriteWatch> KeptFilesJournal::watchWrites()
{
    return std::make_unique<Velmora::WriteWatch>(
            [this](const std::string &path, const char *data, size_t size, std::string *reason) {
                QString error;
                if (expect(QFile::decodeName(QByteArray::fromStdString(path)), QByteArray::fromRawData(data, int(size)),
                           &error))
                    return true;
                *reason = error.toStdString();
                return false;
            });
}

bool KeptFilesJournal::finish(QString *error)
{
    finished_ = true;
    return write(error);
}

bool KeptFilesJournal::begin(const QVector<Kept> &back, const QVector<Kept> &drop, QString *error)
{
    return replace(back, drop, false, error);
}

bool KeptFilesJournal::finish(const QVector<Kept> &kept, QString *error)
{
    return replace(kept, {}, true, error);
}

bool KeptFilesJournal::replace(const QVector<Kept> &back, const QVector<Kept> &drop, bool finished, QString *error)
{
    QVector<Entry> entries;
    Entry entry;
    for (const Kept &kept : back) {
        if (!entryOf(kept, false, &entry, error))
            return false;
        entries.append(entry);
    }
    for (const Kept &kept : drop) {
        if (!entryOf(kept, true, &entry, error))
            return false;
        entries.append(entry);
        // What the copy puts under its file.
        for (Entry &back_entry : entries) {
            if (back_entry.drop || back_entry.file != entry.file)
                continue;
            back_entry.put = fileChecksum(QFile::encodeName(kept.kept));
            if (back_entry.put.isEmpty()) {
                *error = QStringLiteral("the kept copy %1 cannot be read").arg(entry.kept);
                return false;
            }
        }
    }
    std::swap(entries, entries_);
    std::swap(finished, finished_);
    if (write(error))
        return true;
    entries_ = entries;
    finished_ = finished;
    return false;
}

void KeptFilesJournal::remove()
{
    if (written_)
        ::unlink(QFile::encodeName(path_).constData());
    written_ = false;
}

bool KeptFilesJournal::write(QString *error)
{
    QByteArray text = HEADER + (finished_ ? "finished 1\n" : "finished 0\n");
    for (const Entry &entry : qAsConst(entries_))
        text += entry.kept.toUtf8() + '\t' + entry.file.toUtf8()
                + (entry.drop                    ? QByteArray("\tdrop")
                           : entry.put.isEmpty() ? QByteArray()
                                                 : "\tput " + entry.put)
                + '\n';
    if (written_)
        return fs::writeStringToFSFile(path_, text.constData(), text.size(), true, error);
    // A new name: never one that is there already.
    for (int attempt = 0; attempt < 16; ++attempt) {
        path_ = folder_
                + QFile::decodeName(QByteArray::fromStdString(
                        Velmora::OwnNames::make(Velmora::OwnNames::JOURNAL, QFile::encodeName(label_).toStdString())));
        struct stat info;
        if (::lstat(QFile::encodeName(path_).constData(), &info) == 0)
            continue;
        written_ = fs::writeStringToFSFile(path_, text.constData(), text.size(), false, error);
        return written_;
    }
    *error = QStringLiteral("no free journal name");
    return false;
}

KeptFilesJournal::Recovery KeptFilesJournal::recover(const QString &path)
{
    Recovery recovery;
    const QByteArray native = QFile::encodeName(path);
    const QList<QByteArray> lines = readOwnFile(native).split('\n');
    if (lines.size() < 2 || lines[0] + '\n' != HEADER || !lines[1].startsWith("finished "))
        return recovery;
    const bool finished = lines[1] == "finished 1";
    // Only what the journal's own process kept is acted on.
    long long pid = 0;
    if (Velmora::OwnNames::parse(QFile::encodeName(nameOf(path)).toStdString(), &pid) != Velmora::OwnNames::JOURNAL)
        return recovery;
    const QString folder = folderOf(path);
    bool whole = true;
    QVector<QPair<QByteArray, QByteArray>> drops;
    for (int i = 2; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QList<QByteArray> fields = lines[i].split('\t');
        const bool drop = fields.size() == 3 && fields[2] == "drop";
        const bool put = fields.size() == 3 && fields[2].startsWith("put ");
        const QByteArray put_checksum = put ? fields[2].mid(4) : QByteArray();
        const bool known = fields.size() == 2 || drop || put;
        const QString kept = known ? QString::fromUtf8(fields[0]) : QString();
        const QString file = known ? QString::fromUtf8(fields[1]) : QString();
        if (!isKeptFor(kept, file, pid)) {
            whole = false;
            continue;
        }
        recovery.kept << folder + kept;
        const QByteArray from = QFile::encodeName(folder + kept);
        const QByteArray to = QFile::encodeName(folder + file);
        if (drop) {
            drops.append({from, to});
            continue;
        }
        struct stat kept_info;
        if (::lstat(from.constData(), &kept_info) != 0) {
            whole = whole && errno == ENOENT; // gone: dealt with already
            continue;
        }
        const bool own = S_ISREG(kept_info.st_mode) && kept_info.st_uid == ::geteuid();
        struct stat info;
        const bool target_free = ::lstat(to.constData(), &info) != 0 && errno == ENOENT;
        const bool target_plain = !target_free && S_ISREG(info.st_mode);
        // Still the same file (a second name made before it was written
        // over): a rename would keep both names.
        const bool same = target_plain && info.st_dev == kept_info.st_dev && info.st_ino == kept_info.st_ino;
        if (!own || !(target_free || target_plain)) {
            whole = false;
        } else if ((finished && target_plain) || same) {
            whole = ::unlink(from.constData()) == 0 && whole;
        } else if (target_free || !isAsLeft(to, from, put_checksum)) {
            // Changed since the run stopped (written over or removed): what
            // is there now stays, and so does what was kept.
            recovery.changed.append({folder + file, folder + kept});
            whole = false;
        } else if (::rename(from.constData(), to.constData()) == 0) {
            recovery.put_back << folder + file;
        } else {
            whole = false;
        }
    }
    // The other set's copies: only once every file has its kept contents,
    // and never one whose file is missing (it would be the only copy).
    for (int i = 0; whole && i < drops.size(); ++i) {
        struct stat info;
        if (::lstat(drops[i].first.constData(), &info) != 0) {
            whole = errno == ENOENT; // put in place, or dropped already
            continue;
        }
        const bool own = S_ISREG(info.st_mode) && info.st_uid == ::geteuid();
        whole = own && ::lstat(drops[i].second.constData(), &info) == 0 && S_ISREG(info.st_mode)
                && ::unlink(drops[i].first.constData()) == 0;
    }
    recovery.resolved = whole && ::unlink(native.constData()) == 0;
    return recovery;
}

} // namespace base
