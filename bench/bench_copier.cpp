// Copies a generated data folder with the build's copier and with "cp -a",
// taking turns at going first (the second copy could find the source
// fresher in the page cache), flushes the file system before each copy and
// ends each copy with a sync inside its time (also printed on its own),
// checks both copies (file count, sizes and bytes), and prints the median
// ratio copier / cp for each order and for all runs. The last line
// ("RESULT ...") is for scripts/bench.
//
//   bench_copier [files = 20000] [runs = 5] [folder = system temp]
//
// Files are 1 KB to 4 MB (most of them small, as in a project's data
// folder), spread over folders up to four levels deep; the generator is
// seeded, so every run copies the same tree.

#include "editor/assembly/core/impl/file_processing/copying_handler.h"
#include "editor/assembly/core/post_processing_handler.h"

#include "bench_engine.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using bench::median;

// "cp -a from to"; an empty text when it copied, else what went wrong. Not
// QProcess: a process the system refuses can leave it waiting for ever.
QString copyWithCp(const QString &from, const QString &to)
{
    QByteArray words[] = {"cp", "-a", QFile::encodeName(from), QFile::encodeName(to)};
    char *argv[] = {words[0].data(), words[1].data(), words[2].data(), words[3].data(), nullptr};
    pid_t child = 0;
    const int error = ::posix_spawnp(&child, argv[0], nullptr, nullptr, argv, environ);
    if (error != 0)
        return QStringLiteral("cp could not be started: %1").arg(QString::fromLocal8Bit(std::strerror(error)));
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return QStringLiteral("cp was lost: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("cp failed");
    return QString();
}

qint64 generate(const QString &root, int files, assembly::fp::CopyItems &items)
{
    QRandomGenerator random(20240611);
    QByteArray block(4 * 1024 * 1024, Qt::Uninitialized);
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(random.bounded(256));
    qint64 total = 0;
    for (int i = 0; i < files; ++i) {
        QString folder;
        const int depth = int(random.bounded(5));
        for (int level = 0; level < depth; ++level)
            folder += QStringLiteral("d%1/").arg(random.bounded(8));
        // 1 KB * 4096^(u^3): from 1 KB to 4 MB, mostly small.
        const double u = random.generateDouble();
        const qint64 size = qint64(1024.0 * std::pow(4096.0, u * u * u));
        const QString relative = folder + QStringLiteral("f%1.bin").arg(i);
        QDir().mkpath(root + folder);
        QFile file(root + relative);
        if (!file.open(QIODevice::WriteOnly))
            return -1;
        const int offset = int(random.bounded(1024));
        file.write(block.constData() + offset, std::min<qint64>(size, block.size() - offset));
        if (size > block.size() - offset)
            file.write(block.constData(), size - (block.size() - offset));
        total += size;
        items.append(assembly::fp::CopyItem{root + relative, QStringLiteral("data/") + relative});
    }
    return total;
}

// Flushes the file system that holds path to the disk.
void syncFileSystem(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    } else {
        ::sync();
    }
}

// Whether copy holds exactly the files of items (target paths below
// "data/", taken relative to copy_root + prefix) with the same bytes.
bool sameFiles(const assembly::fp::CopyItems &items, const QString &copy_root, const QString &prefix_to_strip,
               QString *problem)
{
    int files = 0;
    QDirIterator it(copy_root, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++files;
    }
    if (files != items.size()) {
        *problem = QStringLiteral("%1 files in %2, %3 expected").arg(files).arg(copy_root).arg(items.size());
        return false;
    }
    for (const assembly::fp::CopyItem &item : items) {
        QString relative = item.relative_dest;
        relative.remove(0, prefix_to_strip.size());
        QFile source(item.source_path);
        QFile copy(copy_root + relative);
        if (!source.open(QIODevice::ReadOnly) || !copy.open(QIODevice::ReadOnly) || source.size() != copy.size()
            || source.readAll() != copy.readAll()) {
            *problem = QStringLiteral("%1 differs from %2").arg(copy.fileName(), item.source_path);
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    // The cp it compares with.
    if (const int code = bench::secureThreads("bench_copier", 1))
        return code;
    QCoreApplication application(argc, argv);
    const QStringList args = application.arguments();
    const int files = args.size() > 1 ? args.at(1).toInt() : 20000;
    const int runs = args.size() > 2 ? args.at(2).toInt() : 5;
    QTemporaryDir work(args.size() > 3 ? args.at(3) + QStringLiteral("/bench_copier-XXXXXX") : QString());
    QTextStream out(stdout);
    if (!work.isValid() || files <= 0 || runs <= 0) {
        out << "usage: bench_copier [files] [runs] [folder]\n";
        return 1;
    }
    const QString source = work.path() + QStringLiteral("/source/");
    assembly::fp::CopyItems items;
    const qint64 total = generate(source, files, items);
    if (total < 0) {
        out << "cannot write the data folder\n";
        return 1;
    }
    out << files << " files, " << total / (1024 * 1024) << " MB\n";

    std::vector<double> ratios;
    std::vector<double> ratios_copier_first;
    std::vector<double> ratios_cp_first;
    for (int run = 0; run < runs; ++run) {
        const QString copier_out = work.path() + QStringLiteral("/copier%1/").arg(run);
        const QString cp_out = work.path() + QStringLiteral("/cp%1").arg(run);
        const bool copier_first = run % 2 == 0;
        double copier_ms = 0;
        double cp_ms = 0;
        double copier_sync_ms = 0;
        double cp_sync_ms = 0;
        for (int turn = 0; turn < 2; ++turn) {
            // Whatever is still unwritten (the generated tree, the copies
            // removed by the previous run) is flushed before the clock
            // starts, so that each side pays only for its own writes.
            syncFileSystem(work.path());
            QElapsedTimer timer;
            timer.start();
            if ((turn == 0) == copier_first) {
                assembly::CopyingHandler copier(copier_out);
                assembly::PostProcessingHandler queue;
                if (!copier.copy([](int, int) { return true; }, items, queue)) {
                    out << "the copier failed\n";
                    return 1;
                }
                const double copied_ms = double(timer.nsecsElapsed()) / 1e6;
                syncFileSystem(copier_out);
                copier_ms = double(timer.nsecsElapsed()) / 1e6;
                copier_sync_ms = copier_ms - copied_ms;
            } else {
                const QString problem = copyWithCp(source, cp_out);
                if (!problem.isEmpty()) {
                    out << problem << "\n";
                    return 1;
                }
                const double copied_ms = double(timer.nsecsElapsed()) / 1e6;
                syncFileSystem(cp_out);
                cp_ms = double(timer.nsecsElapsed()) / 1e6;
                cp_sync_ms = cp_ms - copied_ms;
            }
        }
        QString problem;
        if (!sameFiles(items, copier_out + QStringLiteral("data/"), QStringLiteral("data/"), &problem)
            || !sameFiles(items, cp_out + QLatin1Char('/'), QStringLiteral("data/"), &problem)) {
            out << "a copy is wrong: " << problem << "\n";
            return 1;
        }

        const double ratio = copier_ms / cp_ms;
        ratios.push_back(ratio);
        (copier_first ? ratios_copier_first : ratios_cp_first).push_back(ratio);
        out << "run " << run + 1 << (copier_first ? " (copier first)" : " (cp first)") << ": copier "
            << qRound(copier_ms) << " ms (sync " << qRound(copier_sync_ms) << "), cp -a " << qRound(cp_ms)
            << " ms (sync " << qRound(cp_sync_ms) << "), ratio " << QString::number(ratio, 'f', 3)
            << "; both copies checked\n";
        out.flush();
        QDir(copier_out).removeRecursively();
        QDir(cp_out).removeRecursively();
    }
    out << "median ratio copier / cp: copier first " << QString::number(median(ratios_copier_first), 'f', 3)
        << ", cp first " << QString::number(median(ratios_cp_first), 'f', 3) << ", all runs "
        << QString::number(median(ratios), 'f', 3) << "\n";
    out << "RESULT copier files=" << files << " ratio=" << QString::number(median(ratios), 'f', 3)
        << " ratio_copier_first=" << QString::number(median(ratios_copier_first), 'f', 3)
        << " ratio_cp_first=" << QString::number(median(ratios_cp_first), 'f', 3) << "\n";
    return 0;
}
