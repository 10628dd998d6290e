// The editor's handling of memory running out, each case in a child process
// (this program started again) whose address space the system limits.

#include "bounded_run.h"

#include <editor/application/memory_shortage.h>

#include <velmora/HeapTuning.h>
#include <velmora/Image.h>
#include <velmora/MemoryReserve.h>

#include <ImfHeader.h>
#include <ImfRgbaFile.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace {

const char *const CHILD = "--child";

// Beyond what the child has mapped when it sets its limit.
constexpr size_t ROOM_BYTES = size_t(256) << 20;
constexpr size_t LARGE_BYTES = size_t(2) << 30;
constexpr size_t BLOCK_BYTES = size_t(1) << 20;

// Sets the limit, then what the editor's main does.
bool limitAddressSpace()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith("VmSize:"))
            continue;
        const size_t mapped = size_t(line.mid(7).trimmed().split(' ').value(0).toULongLong()) << 10;
        const rlimit limit{mapped + ROOM_BYTES, mapped + ROOM_BYTES};
        if (::setrlimit(RLIMIT_AS, &limit) != 0)
            return false;
        Velmora::HeapTuning::fitAddressSpace();
        Editor::MemoryShortage::install();
        return true;
    }
    return false;
}

// Whether an allocation of LARGE_BYTES failed where it is caught.
bool largeAllocationCaught()
{
    try {
        std::vector<char> large(LARGE_BYTES);
        volatile char *first = large.data();
        *first = 1;
        return false;
    } catch (const std::bad_alloc &) {
        return true;
    }
}

int caughtAllocations()
{
    std::atomic<int> caught{0};
    const auto twice = [&caught] { caught += largeAllocationCaught() + largeAllocationCaught(); };
    std::vector<std::thread> threads(4);
    for (std::thread &thread : threads)
        thread = std::thread(twice);
    twice(); // and on the main thread
    for (std::thread &thread : threads)
        thread.join();
    std::printf("caught %d of 10\n", caught.load());
    // The room is still there.
    std::vector<std::unique_ptr<char[]>> blocks;
    for (size_t i = 0; i < ROOM_BYTES / BLOCK_BYTES / 8; ++i)
        blocks.emplace_back(new char[BLOCK_BYTES]);
    std::printf("went on\n");
    return 0;
}

// An image whose pixels would take 2 GiB (the largest the engine reads),
// written without them: the loader's buffer does not fit.
int largeImage()
{
    QTemporaryDir folder;
    const QByteArray path = QFile::encodeName(folder.filePath(QStringLiteral("large.exr")));
    {
        const Imf::Header header(Velmora::Image::MAX_SIZE, Velmora::Image::MAX_SIZE);
        Imf::RgbaOutputFile file(path.constData(), header, Imf::WRITE_RGBA);
    }
    if (!limitAddressSpace())
        return 100;
    Velmora::Image image;
    std::printf("%s\n", image.load(path.constData()) ? "loaded" : "not loaded");
    return caughtAllocations();
}

int uncaughtShortage()
{
    std::vector<std::unique_ptr<char[]>> blocks;
    for (;;)
        blocks.emplace_back(new char[BLOCK_BYTES]);
}

// Fills the address space from the event loop; the quit guard declines the
// first time and lets the memory go, and the filling starts again later.
int shortageUnderEventLoop(int argc, char **argv, bool decline_first)
{
    QCoreApplication application(argc, argv);
    std::vector<std::unique_ptr<char[]>> blocks;
    blocks.reserve(2 * ROOM_BYTES / BLOCK_BYTES);
    QTimer fill;
    QObject::connect(&fill, &QTimer::timeout, [&blocks] { blocks.emplace_back(new char[BLOCK_BYTES]); });
    if (decline_first) {
        Velmora::MemoryReserve::setQuitGuard([&blocks, &fill] {
            static int asked = 0;
            std::printf("asked %d\n", ++asked);
            std::fflush(stdout);
            if (asked > 1)
                return true;
            blocks.clear();
            fill.stop();
            QTimer::singleShot(1500, &fill, [&fill] { fill.start(0); });
            return false;
        });
    }
    fill.start(0);
    const int code = application.exec();
    std::printf("event loop ended\n");
    return code;
}

int runChild(int argc, char **argv)
{
    const QByteArray which = argv[2];
    if (which == "large_image")
        return largeImage();
    if (!limitAddressSpace())
        return 100;
    if (which == "caught")
        return caughtAllocations();
    if (which == "uncaught")
        return uncaughtShortage();
    if (which == "event_loop" || which == "declined")
        return shortageUnderEventLoop(argc, argv, which == "declined");
    return 101;
}

} // namespace

class tst_MemoryShortage : public QObject
{
    Q_OBJECT

private slots:
    void a_child_under_an_address_space_limit_ends_as_expected_data();
    void a_child_under_an_address_space_limit_ends_as_expected();
};

void tst_MemoryShortage::a_child_under_an_address_space_limit_ends_as_expected_data()
{
    const QString told = QStringLiteral("Editor: the system gives the editor no more memory; it stops.");
    QTest::addColumn<QString>("child");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("told");
    QTest::addColumn<QStringList>("not_told");
    QTest::newRow("a caught allocation too large stays caught, on any thread")
            << "caught" << 0 << QStringList{"caught 10 of 10", "went on"} << QStringList{told};
    QTest::newRow("a large image that does not fit is not loaded")
            << "large_image" << 0 << QStringList{"not loaded", "caught 10 of 10", "went on"} << QStringList{told};
    QTest::newRow("a shortage nobody catches ends at once") << "uncaught" << Editor::MemoryShortage::EXIT_OUT_OF_MEMORY
                                                            << QStringList{told} << QStringList{"terminate called"};
    QTest::newRow("a shortage under the event loop quits the ordinary way")
            << "event_loop" << Editor::MemoryShortage::EXIT_OUT_OF_MEMORY << QStringList{told, "event loop ended"}
            << QStringList{"terminate called"};
    QTest::newRow("a declined quit is asked again when memory runs out anew")
            << "declined" << Editor::MemoryShortage::EXIT_OUT_OF_MEMORY
            << QStringList{"asked 1", "asked 2", "event loop ended"} << QStringList{"asked 3", "terminate called"};
}

void tst_MemoryShortage::a_child_under_an_address_space_limit_ends_as_expected()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // A sanitizer reserves its shadow memory up front, terabytes of address
    // space: no limit tried here can hold it.
    QSKIP("an address-space limit cannot be tried on a build with a sanitizer");
#endif
    QFETCH(QString, child);
    QFETCH(int, code);
    QFETCH(QStringList, told);
    QFETCH(QStringList, not_told);

    QProcess process;
    const QString output = QString::fromLocal8Bit(test::runToItsEnd(process, QCoreApplication::applicationFilePath(),
                                                                    {QString::fromLatin1(CHILD), child}, 60000, {code},
                                                                    "Editor: the system gives"));
    if (QTest::currentTestFailed())
        return;
    for (const QString &text : told)
        QVERIFY2(output.contains(text), qPrintable(text + " not in:\n" + output));
    for (const QString &text : not_told)
        QVERIFY2(!output.contains(text), qPrintable(text + " in:\n" + output));
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], CHILD) == 0)
        return runChild(argc, argv);
    QCoreApplication application(argc, argv);
    tst_MemoryShortage test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_memory_shortage.moc"
