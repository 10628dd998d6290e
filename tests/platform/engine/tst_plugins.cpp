#include "engine_runtime_fixture.h"

#include "velmora/Interpreter.h"
#include "velmora/Plugin.h"
#include "velmora/PluginInterface.h"

#include <QApplication>
#include <QTest>
#include <QWindow>

using namespace Velmora;

namespace {

using HostApp = enginetest::WindowApp;

// Counts the hook calls the engine makes.
class CountingPlugin : public Plugin
{
public:
    explicit CountingPlugin(int version = 0x0400400D)
        : version_(version)
    {}
    int getVersion() const override { return version_; }
    const char *getName() override { return "Counting"; }
    int init() override { return ++inits; }
    int shutdown() override { return ++shutdowns; }
    void resetWindows() override { ++resets; }
    void updateMouse() override { order += 'm'; }
    void update() override { order += 'u'; }
    int inits = 0, shutdowns = 0, resets = 0;
    QByteArray order;

private:
    int version_;
};

// The plug-in module of this build, linked into the installation's binaries.
bool installModule(const enginetest::Installation &installation)
{
    const QString built = qEnvironmentVariable("VELMORA_BINARY_DIR") + QStringLiteral("/bin/");
    for (const QString &name : {QStringLiteral("libInterface_x64.so"), QStringLiteral("libInterface_x64d.so")})
        if (QFileInfo::exists(built + name))
            return QFile::link(built + name, installation.binPath() + name);
    return false;
}

} // namespace

class TestPlugins : public QObject
{
    Q_OBJECT

private slots:
    void hooks_run_in_frame_order_and_bad_versions_are_refused()
    {
        enginetest::Installation installation;
        QVERIFY(installation.start());
        CountingPlugin plugin;
        CountingPlugin stale(0x04004000);
        enginetest::LogCapture log;
        QVERIFY(!Engine::get()->addPlugin(&stale));
        QCOMPARE(log.count(QStringLiteral("has version 0x04004000")), 1);
        QCOMPARE(stale.inits, 0);
        QVERIFY(Engine::get()->addPlugin(&plugin));
        QVERIFY(!Engine::get()->addPlugin(&plugin));
        QCOMPARE(Engine::get()->findPlugin("Counting"), &plugin);
        enginetest::Installation::frame();
        enginetest::Installation::frame();
        QCOMPARE(plugin.order, QByteArray("mumu"));
        Console::run("video_restart");
        Console::flush();
        QCOMPARE(plugin.resets, 1);
        installation.stop();
        QCOMPARE(plugin.inits, 1);
        QCOMPARE(plugin.shutdowns, 1);
    }

    void extern_plugin_loads_the_module_and_the_demo_opens_two_windows()
    {
        enginetest::Installation installation;
        QVERIFY(installModule(installation));
        HostApp app;
        enginetest::LogCapture log;
        QVERIFY(installation.start({QStringLiteral("-extern_plugin"), QStringLiteral("Missing"),
                                    QStringLiteral("-extern_plugin"), QStringLiteral("Interface")},
                                   &app));
        // A missing module is one error line; the engine goes on.
        QCOMPARE(log.count(QStringLiteral("cannot find the plug-in Missing")), 1);
        Plugin *plugin = Engine::get()->findPlugin("Interface");
        QVERIFY(plugin);
        QVERIFY(Interpreter::isDefined("HAS_INTERFACE"));
        auto interface = static_cast<Plugins::Interface *>(plugin->getData());
        QVERIFY(interface);

        Console::run("interface_demo");
        Console::flush();
        QCOMPARE(log.count(QStringLiteral("interface_demo: 2 script windows")), 1);
        for (int i = 0; i < 3; ++i)
            enginetest::Installation::frame();
        QCOMPARE(interface->getNumWindows(), 2);

        // The first is centred on the engine window and has the focus; the
        // second, asked for a place off every screen, lands on the screen.
        Plugins::InterfaceWindow *first = interface->getWindowInterface(0);
        Plugins::InterfaceWindow *second = interface->getWindowInterface(1);
        QCOMPARE(QByteArray(first->getTitle()), QByteArray("Script window"));
        QVERIFY(first->isFocused() && !first->isHidden() && !second->isHidden());
        QCOMPARE(first->getPositionX(), 100 + (640 - first->getWidth()) / 2);
        QCOMPARE(second->getPositionY(), 0);
        QCOMPARE(second->getPositionX(), first->getPositionX() + first->getWidth() + 24);
        QVERIFY(first->getWidth() >= 300 && first->getHeight() > 100);

        int shown = 0;
        for (QWindow *window : QGuiApplication::allWindows())
            if (window->objectName() == QLatin1String("interface window") && window->isVisible())
                ++shown;
        QCOMPARE(shown, 2);

        Console::run("interface_demo close");
        Console::flush();
        QCOMPARE(interface->getNumWindows(), 0);
        installation.stop();
        QVERIFY(!Interpreter::isDefined("HAS_INTERFACE"));
    }

    void demo_without_the_plugin_says_what_is_missing()
    {
        enginetest::Installation installation;
        QVERIFY(installation.start());
        enginetest::LogCapture log;
        Console::run("interface_demo");
        Console::flush();
        QCOMPARE(log.count(QStringLiteral("the script window plug-in is not loaded"), 2), 1);
    }
};

QTEST_MAIN(TestPlugins)
#include "tst_plugins.moc"
