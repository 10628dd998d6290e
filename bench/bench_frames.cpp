// Frame rate and processor time of the frame loop.
//
//   bench_frames idle [--short 60] [--long 420] -- PROGRAM ARGUMENTS...
//       Runs the program (the editor or the player, offscreen) once with
//       "-quit_after_frames SHORT" and once with LONG, three times in turns
//       (the medians are taken).
//       Frames per second: the extra frames of the long run over its extra
//       time. Processor seconds per second: the long run's processor time
//       (read from /proc while it runs) over its frames past the point
//       where the short run had ended, until a second before it ends, so
//       that neither start-up nor shut-down counts. (The difference of the
//       two runs' processor times is printed too: a start-up's processor
//       time varies by more than the frames cost on a busy machine.)
//   bench_frames moving --data DIR [--world NAME] [--size 1280x720] [--frames 240]
//       Starts the engine in this process with one on-screen view, loads the
//       world, draws the view's first frame (timed on its own), then frames
//       while the camera circles the world, then as many with the camera
//       still: frames per second and processor seconds per second of each.
//
// The last line ("RESULT ...") is for scripts/bench.

#include "bench_engine.h"

#include <velmora/Engine.h>
#include <velmora/Player.h>
#include <velmora/World.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using bench::median;

double seconds(const timeval &t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

struct Run
{
    double wall = 0;
    double cpu = 0;
    int status = -1;
    // While it ran: seconds since its start, processor seconds so far.
    std::vector<std::pair<double, double>> samples;
};

// Processor seconds of a running process, all its threads (those that
// ended included); negative when it cannot be read.
double processorSecondsOf(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof(path), "/proc/%d/stat", int(pid));
    std::FILE *file = std::fopen(path, "r");
    if (!file)
        return -1;
    char line[1024];
    const bool read = std::fgets(line, sizeof(line), file) != nullptr;
    std::fclose(file);
    // The name (field 2) is in parentheses and may hold anything; utime and
    // stime are fields 14 and 15, the 12th and 13th after it.
    const char *at = read ? std::strrchr(line, ')') : nullptr;
    if (!at)
        return -1;
    unsigned long long utime = 0, stime = 0;
    if (std::sscanf(at + 1, " %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %*s %llu %llu", &utime, &stime) != 2)
        return -1;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

Run runProgram(const std::vector<std::string> &command, int frames, const std::string &home)
{
    std::vector<std::string> args = command;
    args.push_back("-quit_after_frames");
    args.push_back(std::to_string(frames));
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    argv.push_back(nullptr);
    Run run;
    QElapsedTimer timer;
    timer.start();
    // The child would write out what this process still holds in its
    // buffers when it reopens its own streams.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", (home + "/runtime").c_str(), 1);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr))
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0)
        return run;
    rusage usage{};
    int status = 0;
    for (;;) {
        const pid_t ended = wait4(pid, &status, WNOHANG, &usage);
        if (ended == pid)
            break;
        if (ended < 0)
            return run;
        const double cpu = processorSecondsOf(pid);
        if (cpu >= 0)
            run.samples.emplace_back(double(timer.nsecsElapsed()) / 1e9, cpu);
        usleep(20000);
    }
    run.wall = double(timer.nsecsElapsed()) / 1e9;
    run.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

int idle(int short_frames, int long_frames, const std::vector<std::string> &command)
{
    QTemporaryDir home;
    QDir().mkpath(home.path() + QStringLiteral("/config"));
    QDir().mkpath(home.path() + QStringLiteral("/runtime"));
    QFile::setPermissions(home.path() + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const std::string folder = home.path().toStdString();
    std::vector<double> fps, load;
    for (int pair = 0; pair < 3; ++pair) {
        Run runs[2];
        for (int turn = 0; turn < 2; ++turn) {
            const bool take_long = (turn == 0) == (pair % 2 == 1);
            const Run run = runProgram(command, take_long ? long_frames : short_frames, folder);
            if (run.status != 0) {
                std::fprintf(stderr, "bench_frames: %s ended with %d\n", command[0].c_str(), run.status);
                return 1;
            }
            runs[take_long ? 1 : 0] = run;
        }
        const double wall = runs[1].wall - runs[0].wall;
        const double cpu = runs[1].cpu - runs[0].cpu;
        fps.push_back(double(long_frames - short_frames) / wall);
        // The long run's frames from where the short run had ended (its
        // start-up is over by then) until a second before its own end.
        const std::vector<std::pair<double, double>> &samples = runs[1].samples;
        const auto first = std::find_if(samples.begin(), samples.end(), [&](const std::pair<double, double> &sample) {
            return sample.first >= runs[0].wall;
        });
        auto last = std::find_if(samples.begin(), samples.end(), [&](const std::pair<double, double> &sample) {
            return sample.first > runs[1].wall - 1.0;
        });
        if (first == samples.end() || last == samples.begin() || (--last)->first - first->first < 1.0) {
            std::fprintf(stderr,
                         "bench_frames: the long run has too few frames past the short run's end; "
                         "give --long more frames\n");
            return 1;
        }
        const double window = last->first - first->first;
        load.push_back((last->second - first->second) / window);
        std::printf("pair %d: %d frames in %.2f s more, %.3f s processor time more; %.3f s processor time in "
                    "%.2f s of frames alone\n",
                    pair + 1, long_frames - short_frames, wall, cpu, last->second - first->second, window);
    }
    std::printf("unchanged frames: %.1f frames/s, %.3f processor seconds per second\n", median(fps), median(load));
    std::printf("RESULT idle fps=%.1f cpu_per_s=%.4f\n", median(fps), median(load));
    return 0;
}

class Screen : public Velmora::App
{
public:
    int getViewWidth() const override { return size.width(); }
    int getViewHeight() const override { return size.height(); }
    Velmora::Ptr<Velmora::Player> getViewPlayer() const override { return player; }
    void presentFrame(const QImage &frame) override { last = frame; }
    void requestQuit() override {}

    QSize size;
    Velmora::Ptr<Velmora::Player> player;
    QImage last;
};

double processorSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

int moving(const QString &data, const QString &world, const QSize &size, int frames)
{
    QTemporaryDir home;
    const std::string data_arg = QDir(data).absolutePath().toStdString() + "/";
    const std::string bin = (home.path() + QStringLiteral("/bin/")).toStdString();
    const std::string cache = (home.path() + QStringLiteral("/cache/")).toStdString();
    const std::string log = (home.path() + QStringLiteral("/log.txt")).toStdString();
    QDir().mkpath(home.path() + QStringLiteral("/bin"));
    std::vector<std::string> args{"bench_frames", "-binaries_path", bin, "-data_path", data_arg, "-cache_path",
                                  cache,          "-log_path",      log};
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(&arg[0]);
    Screen screen;
    screen.size = size;
    if (!Velmora::Engine::init(Velmora::ENGINE_VERSION, &screen, int(argv.size()), argv.data())) {
        std::fprintf(stderr, "bench_frames: the engine does not start\n");
        return 2;
    }
    Velmora::Engine *engine = Velmora::Engine::get();
    if (!Velmora::World::load(world.toUtf8().constData())) {
        std::fprintf(stderr, "bench_frames: the world %s does not load\n", qPrintable(world));
        Velmora::Engine::shutdown();
        return 2;
    }
    Velmora::Ptr<Velmora::PlayerDummy> camera = Velmora::PlayerDummy::create();
    screen.player = camera;
    auto place = [&camera](int frame) {
        const float angle = float(frame) * 0.02f;
        camera->lookAt(Velmora::vec3(12.0f * std::cos(angle), 12.0f * std::sin(angle), 5.0f),
                       Velmora::vec3(0.0f, 0.0f, 0.0f));
    };
    auto measure = [&](bool move, double *fps, double *load) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = processorSeconds();
        for (int i = 0; i < frames; ++i) {
            if (move)
                place(i);
            engine->update();
            engine->render();
            engine->swap();
        }
        const double wall = double(timer.nsecsElapsed()) / 1e9;
        *fps = frames / wall;
        *load = (processorSeconds() - cpu) / wall;
    };
    place(0);
    // The view is on screen before the camera starts to move, as in the
    // editor: its first frame (which also makes the view's buffers) is drawn
    // and timed on its own, outside the measured runs.
    QElapsedTimer first_timer;
    first_timer.start();
    engine->update();
    engine->render();
    engine->swap();
    const double first_ms = double(first_timer.nsecsElapsed()) / 1e6;
    double fps_moving = 0, load_moving = 0, fps_still = 0, load_still = 0;
    measure(true, &fps_moving, &load_moving);
    measure(false, &fps_still, &load_still);
    Velmora::Engine::shutdown();
    std::printf("%dx%d view: first frame %.1f ms; camera moving %.1f frames/s, %.2f processor seconds per second; "
                "camera still %.1f frames/s, %.3f processor seconds per second\n",
                size.width(), size.height(), first_ms, fps_moving, load_moving, fps_still, load_still);
    std::printf("RESULT moving fps=%.1f cpu_per_s=%.3f still_fps=%.1f still_cpu_per_s=%.4f first_ms=%.1f\n", fps_moving,
                load_moving, fps_still, load_still, first_ms);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "idle") {
        int short_frames = 60;
        int long_frames = 420;
        std::vector<std::string> command;
        for (int i = 2; i < argc; ++i) {
            if (!std::strcmp(argv[i], "--short") && i + 1 < argc) {
                short_frames = std::atoi(argv[++i]);
            } else if (!std::strcmp(argv[i], "--long") && i + 1 < argc) {
                long_frames = std::atoi(argv[++i]);
            } else if (!std::strcmp(argv[i], "--")) {
                command.assign(argv + i + 1, argv + argc);
                break;
            }
        }
        if (command.empty() || long_frames <= short_frames) {
            std::fprintf(stderr, "usage: bench_frames idle [--short N] [--long M] -- PROGRAM ARGUMENTS...\n");
            return 2;
        }
        return idle(short_frames, long_frames, command);
    }
    if (mode == "moving") {
        QCoreApplication app(argc, argv);
        QString data, world = QStringLiteral("worlds/level1");
        QSize size(1280, 720);
        int frames = 240;
        for (int i = 2; i + 1 < argc; ++i) {
            const QString option = QString::fromLocal8Bit(argv[i]);
            const QString value = QString::fromLocal8Bit(argv[i + 1]);
            if (option == QLatin1String("--data"))
                data = value;
            else if (option == QLatin1String("--world"))
                world = value;
            else if (option == QLatin1String("--frames"))
                frames = value.toInt();
            else if (option == QLatin1String("--size"))
                size = QSize(value.section(QLatin1Char('x'), 0, 0).toInt(), value.section(QLatin1Char('x'), 1).toInt());
            else
                continue;
            ++i;
        }
        if (data.isEmpty() || frames <= 0 || size.isEmpty()) {
            std::fprintf(stderr, "usage: bench_frames moving --data DIR [--world NAME] [--size WxH] [--frames N]\n");
            return 2;
        }
        return moving(data, world, size, frames);
    }
    std::fprintf(stderr, "usage: bench_frames idle|moving ...\n");
    return 2;
}
