// Copies a generated data folder with the build's copier and with "cp -a",
// alternately, and prints the median ratio copier / cp.
//
//   bench_copier [files = 20000] [runs = 5] [folder = system temp]
//
// Files are 1 KB to 4 MB (most of them small, as in a project's data
// folder), spread over folders up to four levels deep; the generator is
// seeded, so every run copies the same tree.

#include "editor/assembly/core/impl/file_processing/copying_handler.h"
#include "editor/assembly/core/post_processing_handler.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

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

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char **argv)
{
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
    for (int run = 0; run < runs; ++run) {
        const QString copier_out = work.path() + QStringLiteral("/copier%1/").arg(run);
        const QString cp_out = work.path() + QStringLiteral("/cp%1").arg(run);

        QElapsedTimer timer;
        timer.start();
        assembly::CopyingHandler copier(copier_out);
        assembly::PostProcessingHandler queue;
        if (!copier.copy([](int, int) { return true; }, items, queue)) {
            out << "the copier failed\n";
            return 1;
        }
        const double copier_ms = double(timer.nsecsElapsed()) / 1e6;

        timer.restart();
        if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-a"), source, cp_out}) != 0) {
            out << "cp failed\n";
            return 1;
        }
        const double cp_ms = double(timer.nsecsElapsed()) / 1e6;

        ratios.push_back(copier_ms / cp_ms);
        out << "run " << run + 1 << ": copier " << qRound(copier_ms) << " ms, cp -a " << qRound(cp_ms) << " ms, ratio "
            << QString::number(copier_ms / cp_ms, 'f', 3) << "\n";
        out.flush();
        QDir(copier_out).removeRecursively();
        QDir(cp_out).removeRecursively();
    }
    out << "median ratio copier / cp: " << QString::number(median(ratios), 'f', 3) << "\n";
    return 0;
}
