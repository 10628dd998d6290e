// Times one impostor texture kind at the creator's default settings
// (resolution 4096, supersampling 4, 8 x 4 views, aspect 1, padding 16: a
// 2048 x 2048 render and 64 dilation passes per view). The same views run
// twice in one process: the full-screen passes row-parallel, then on one
// thread. Prints per-state times, the ratio and the peak memory.

#include "bench_engine.h"
#include "editor/tools/camera_setup.h"
#include "editor/tools/grab_final_thread.h"
#include "editor/tools/grab_gbuffer_thread.h"
#include "editor/tools/impostor_math.h"

#include <velmora/Engine.h>
#include <velmora/Materials.h>
#include <velmora/Object.h>
#include <velmora/RenderRitual.h>
#include <velmora/RenderTarget.h>
#include <velmora/Texture.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace Velmora;

namespace {

using bench::peakRssKb;

bool write(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A bush: a ring of tilted boxes, enough silhouette detail for the dilation.
QByteArray bush()
{
    QByteArray text;
    int base = 0;
    for (int k = 0; k < 24; ++k) {
        const float a = float(k) * 2.0f * float(M_PI) / 24.0f;
        const float r = 0.6f + 0.3f * float(k % 3);
        const float cx = r * std::cos(a);
        const float cy = r * std::sin(a);
        const float h = 0.8f + 0.15f * float(k % 5);
        const float corners[8][3] = {{-0.2f, -0.2f, 0.0f}, {0.2f, -0.2f, 0.0f}, {0.2f, 0.2f, 0.0f}, {-0.2f, 0.2f, 0.0f},
                                     {-0.2f, -0.2f, h},    {0.2f, -0.2f, h},    {0.2f, 0.2f, h},    {-0.2f, 0.2f, h}};
        for (const auto &c : corners)
            text += QByteArray("v ") + QByteArray::number(cx + c[0] + 0.3f * c[2] * std::cos(a)) + " "
                    + QByteArray::number(cy + c[1] + 0.3f * c[2] * std::sin(a)) + " " + QByteArray::number(c[2]) + "\n";
        const int f[6][4] = {{1, 4, 3, 2}, {5, 6, 7, 8}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 4, 8, 7}, {4, 1, 5, 8}};
        text += "g leaves\n";
        for (const auto &face : f)
            text += "f " + QByteArray::number(base + face[0]) + " " + QByteArray::number(base + face[1]) + " "
                    + QByteArray::number(base + face[2]) + " " + QByteArray::number(base + face[3]) + "\n";
        base += 8;
    }
    return text;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Times
{
    double state_ms[9] = {};
    double cpu_s = 0.0;
    int views = 0;
    double total() const
    {
        double sum = 0.0;
        for (double t : state_ms)
            sum += t;
        return sum;
    }
};

Times runViews(const Impostors::GrabParameters &params, const QString &kind, int views)
{
    std::unique_ptr<Impostors::GrabThreadTemplate> job;
    if (kind == QLatin1String("final"))
        job.reset(new Impostors::GrabFinalThread(params));
    else
        job.reset(new Impostors::GrabGBufferThread(params, kind == QLatin1String("normal") ? 2 : 0));
    Times times;
    const double cpu_start = cpuSeconds();
    QElapsedTimer timer;
    while (job->getState() != Impostors::GrabThreadTemplate::GRAB_DONE) {
        const int state = job->getState();
        if (state == Impostors::GrabThreadTemplate::GRAB_RENDER && times.views == views) {
            job->cancel();
            break;
        }
        timer.start();
        job->update();
        times.state_ms[state] += double(timer.nsecsElapsed()) / 1e6;
        if (state == Impostors::GrabThreadTemplate::GRAB_DOWNSAMPLE)
            ++times.views;
        if (state == Impostors::GrabThreadTemplate::GRAB_WAIT_COPY)
            QThread::yieldCurrentThread();
    }
    times.cpu_s = cpuSeconds() - cpu_start;
    return times;
}

void print(const char *label, const Times &t)
{
    std::printf("%-16s views %d  render %8.1f ms  post %9.1f ms  downsample %7.1f ms  copy %6.1f ms  total %9.1f ms\n",
                label, t.views, t.state_ms[1], t.state_ms[2], t.state_ms[3],
                t.state_ms[4] + t.state_ms[5] + t.state_ms[6], t.total());
    std::printf("%-16s cpu %.1f s in %.1f s: %.1f cores busy on average\n", "", t.cpu_s, t.total() / 1000.0,
                t.cpu_s / (t.total() / 1000.0));
}

// The dilation pass alone: passes extrude_post runs over a side x side
// texture holding a disc; wall and CPU seconds.
std::pair<double, double> timeDilation(int side, int passes)
{
    Ptr<Texture> a = Texture::create();
    Ptr<Texture> b = Texture::create();
    a->create2D(side, side, Texture::FORMAT_RGBA8);
    b->create2D(side, side, Texture::FORMAT_RGBA8);
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const float dx = float(x - side / 2);
            const float dy = float(y - side / 2);
            if (dx * dx + dy * dy < float(side * side) / 9.0f)
                a->set(x, y, vec4(0.2f, 0.5f, 0.1f, 1.0f));
        }
    }
    const Ptr<Material> extrude = Materials::findBaseMaterial("extrude_post");
    extrude->setState("is_separate_alpha_texture", 0);
    const Ptr<RenderTarget> target = RenderTarget::create();
    const double cpu_start = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < passes; ++i) {
        RenderRitual(target, {b}).render(extrude, {a});
        a->swap(b);
    }
    return {double(timer.nsecsElapsed()) / 1e9, cpuSeconds() - cpu_start};
}

// The creator's defaults.
const int RESOLUTION = 4096;
const int SUPERSAMPLING = 4;
const int NUM_PHI = 8;
const int NUM_THETA = 4;
const float ASPECT = 1.0f;
const int PADDING = 16;

// The bush's mesh and its leaf material in the data folder below root.
void writeScene(const QString &root)
{
    write(root + "/data/meshes/bush.mesh", bush());
    write(root + "/data/materials/leaf.mat",
          "<material name=\"leaf\"><parameter name=\"albedo_color\">0.2 0.5 0.1 1</parameter></material>");
}

// --passes: the dilation pass alone, row-parallel and on one thread.
void compareDilation(int passes)
{
    double load[3] = {};
    getloadavg(load, 3);
    std::printf("%d dilation passes over 2048 x 2048, %d cores, load average %.1f\n", passes,
                QThread::idealThreadCount(), load[0]);
    RenderRitual::setMaxThreads(0);
    const auto parallel = timeDilation(2048, passes);
    RenderRitual::setMaxThreads(1);
    const auto single = timeDilation(2048, passes);
    RenderRitual::setMaxThreads(0);
    std::printf("row-parallel  %.2f s (cpu %.2f s)\none thread    %.2f s (cpu %.2f s)\nratio %.2f\n", parallel.first,
                parallel.second, single.first, single.second, single.first / parallel.first);
}

// Fits the cameras around node at the creator's defaults and fills the
// grab's parameters; prints the layout and the fit. False when the camera
// setup fails.
bool prepareGrab(const Ptr<ObjectMeshStatic> &node, const QString &kind, Impostors::GrabParameters &params)
{
    QElapsedTimer fit_timer;
    fit_timer.start();
    Impostors::CameraSetup setup;
    setup.node = node;
    setup.numPhi = NUM_PHI;
    setup.numTheta = NUM_THETA;
    setup.aspect = ASPECT;
    if (!setup.setup()) {
        std::fprintf(stderr, "the camera setup failed\n");
        return false;
    }
    const double fit_ms = double(fit_timer.nsecsElapsed()) / 1e6;
    const Impostors::AtlasLayout layout = Impostors::atlasLayout(RESOLUTION, NUM_PHI, NUM_THETA, ASPECT, SUPERSAMPLING);
    params.node = node;
    params.distance = setup.distance;
    params.projection = setup.projection;
    params.modelviews = setup.modelviews;
    params.cellWidth = layout.cellWidth;
    params.cellHeight = layout.cellHeight;
    params.supersampling = SUPERSAMPLING;
    params.numPhi = NUM_PHI;
    params.numTheta = NUM_THETA;
    params.padding = PADDING;

    std::printf("kind %s: atlas %d x %d, cell %d x %d, render %d x %d, %d dilation passes per view, %d views\n",
                qPrintable(kind), layout.atlasWidth, layout.atlasHeight, layout.cellWidth, layout.cellHeight,
                layout.renderWidth, layout.renderHeight, PADDING * SUPERSAMPLING, NUM_PHI * NUM_THETA);
    std::printf("camera setup (silhouette fit, %d masks): %.1f ms\n", setup.getNumFitSteps(), fit_ms);
    return true;
}

// The same views row-parallel, then on one thread, and their ratios.
void compareGrabs(const Impostors::GrabParameters &params, const QString &kind, int views)
{
    double load[3] = {};
    getloadavg(load, 3);
    std::printf("cores: %d, load average %.1f\n", QThread::idealThreadCount(), load[0]);

    RenderRitual::setMaxThreads(0);
    const Times parallel = runViews(params, kind, views);
    print("row-parallel", parallel);
    RenderRitual::setMaxThreads(1);
    const Times single = runViews(params, kind, views);
    print("one thread", single);
    RenderRitual::setMaxThreads(0);

    const double passes_parallel = parallel.state_ms[2] + parallel.state_ms[3];
    const double passes_single = single.state_ms[2] + single.state_ms[3];
    std::printf("passes (post + downsample): one thread / row-parallel = %.2f\n", passes_single / passes_parallel);
    std::printf("whole views: one thread / row-parallel = %.2f\n", single.total() / parallel.total());
    std::printf("estimated kind (32 views), row-parallel: %.1f s\n",
                parallel.total() / double(parallel.views) * double(NUM_PHI * NUM_THETA) / 1000.0);
}

} // namespace

int main(int argc, char **argv)
{
    // The grab's copies wait for Qt's global pool.
    if (const int code = bench::secureThreads("bench_impostor_grab", 1, 2))
        return code;
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("views"), QStringLiteral("Views to time in each run (default 2)."),
                      QStringLiteral("n"), QStringLiteral("2")});
    parser.addOption({QStringLiteral("kind"), QStringLiteral("albedo (default), normal or final."),
                      QStringLiteral("kind"), QStringLiteral("albedo")});
    parser.addOption({QStringLiteral("passes"),
                      QStringLiteral("Time only N dilation passes over a 2048 x 2048 texture (no grab)."),
                      QStringLiteral("n")});
    parser.process(app);
    const int views = std::max(1, parser.value(QStringLiteral("views")).toInt());
    const QString kind = parser.value(QStringLiteral("kind"));

    QTemporaryDir root;
    writeScene(root.path());
    if (!bench::startEngine("bench_impostor_grab", root.path(), root.path() + QStringLiteral("/data")))
        return 1;
    Materials::loadMaterials();
    if (parser.isSet(QStringLiteral("passes"))) {
        compareDilation(std::max(1, parser.value(QStringLiteral("passes")).toInt()));
        Engine::shutdown();
        return 0;
    }
    Ptr<ObjectMeshStatic> node = ObjectMeshStatic::create("meshes/bush.mesh");
    node->setMaterial("leaf", -1);
    Impostors::GrabParameters params;
    if (!prepareGrab(node, kind, params))
        return 1;
    compareGrabs(params, kind, views);
    std::printf("peak memory: %.1f MB\n", double(bench::peakRssKb()) / 1024.0);

    node = Ptr<ObjectMeshStatic>();
    Engine::shutdown();
    return 0;
}
