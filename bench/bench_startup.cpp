// Start-up of the editor on a (generated) project, against the least that
// any start-up has to do: one single-threaded read of every .meta file of
// the data folder.
//
//   bench_startup --data DIR --editor PROGRAM [--repeat 3]
//
// The editor runs offscreen with "-quit_after_frames 1"; its time is the
// time from starting the process to the moment its first frame is done (the
// engine's "frames done" log line). The two sides take turns at going first,
// after one untimed run of each has filled the page cache. Reports the
// median times, their ratio and the editor's peak memory; the last line
// ("RESULT ...") is for scripts/bench.

#include "bench_engine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using bench::median;

std::vector<std::string> metaFiles(const QString &data)
{
    std::vector<std::string> files;
    QDirIterator it(data, {QStringLiteral("*.meta")}, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.push_back(QFile::encodeName(it.next()).toStdString());
    std::sort(files.begin(), files.end());
    return files;
}

// Opens and reads every file once, on this thread; the milliseconds.
double readAll(const std::vector<std::string> &files, long long *bytes)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<char> buffer(1 << 16);
    long long total = 0;
    for (const std::string &path : files) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        ssize_t n = 0;
        while ((n = ::read(fd, buffer.data(), buffer.size())) > 0)
            total += n;
        ::close(fd);
    }
    *bytes = total;
    return double(timer.nsecsElapsed()) / 1e6;
}

// One editor run; the milliseconds to its first frame, or a negative value
// when it did not get there.
double runEditor(const QString &editor, const QString &data, const QString &home)
{
    QDir().mkpath(home + QStringLiteral("/config"));
    QDir().mkpath(home + QStringLiteral("/runtime"));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(editor,
                  {QStringLiteral("-data_path"), data + QLatin1Char('/'), QStringLiteral("-quit_after_frames"),
                   QStringLiteral("1"), QStringLiteral("-log_path"), home + QStringLiteral("/log.txt"),
                   QStringLiteral("-cache_path"), home + QStringLiteral("/cache/")});
    if (!process.waitForStarted(30000))
        return -1;
    QByteArray output;
    double first_frame = -1;
    while (first_frame < 0 && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        output += process.readAll();
        if (output.contains("frames done, quitting"))
            first_frame = double(timer.nsecsElapsed()) / 1e6;
        if (timer.elapsed() > 600000)
            break;
    }
    if (!process.waitForFinished(600000))
        process.kill();
    output += process.readAll();
    if (first_frame < 0)
        std::fprintf(stderr, "bench_startup: the editor did not draw its first frame:\n%s\n",
                     output.right(2000).constData());
    return first_frame;
}

} // namespace

int main(int argc, char **argv)
{
    // The editor it starts, and the two threads the editor needs besides.
    if (const int code = bench::secureThreads("bench_startup", 3))
        return code;
    QCoreApplication app(argc, argv);
    QCommandLineParser options;
    bench::addDataAndRepeatOptions(options, QStringLiteral("Measured runs."));
    options.addOption({QStringLiteral("editor"), QStringLiteral("Editor program."), QStringLiteral("file")});
    options.process(app);
    const QString data = bench::dataOption(options);
    const QString editor = options.value(QStringLiteral("editor"));
    if (!QFileInfo(data).isDir() || !QFileInfo(editor).isExecutable()) {
        std::fprintf(stderr, "bench_startup: --data DIR and --editor PROGRAM are needed\n");
        return 2;
    }
    const int repeat = bench::repeatOption(options);
    QTemporaryDir home;

    const std::vector<std::string> files = metaFiles(data);
    long long bytes = 0;
    readAll(files, &bytes);
    if (runEditor(editor, data, home.path()) < 0)
        return 1;

    std::vector<double> baselines, editors;
    for (int r = 0; r < repeat; ++r) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (r % 2 == 0)) {
                baselines.push_back(readAll(files, &bytes));
            } else {
                const double ms = runEditor(editor, data, home.path());
                if (ms < 0)
                    return 1;
                editors.push_back(ms);
            }
        }
        std::printf("run %d (%s first): read %.0f ms, editor %.0f ms\n", r + 1, r % 2 == 0 ? "read" : "editor",
                    baselines.back(), editors.back());
    }
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const double baseline = median(baselines);
    const double started = median(editors);
    std::printf("%zu meta files (%.1f MB): one read of each %.0f ms; editor to its first frame %.0f ms; ratio %.2f; "
                "editor peak memory %.0f MB\n",
                files.size(), double(bytes) / 1048576.0, baseline, started, started / baseline,
                usage.ru_maxrss / 1024.0);
    std::printf("RESULT startup metas=%zu baseline_ms=%.1f editor_ms=%.1f ratio=%.3f peak_mb=%.0f\n", files.size(),
                baseline, started, started / baseline, usage.ru_maxrss / 1024.0);
    return 0;
}
