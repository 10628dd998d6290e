#include "capture_shell.h"

#include <velmora/World.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>

namespace test {

const char *const CaptureShell::TRACK_GUID = "ddddd00000000000000000000000000000000301";

namespace {

QByteArray meta(const char *guid, int type)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"") + guid + "\" type=\""
            + QByteArray::number(type) + "\"/>\n";
}

} // namespace

CaptureShell::CaptureShell(const QStringList &extra, bool data_through_link)
{
    QDir().mkpath(realDataPath());
    data_through_link_ = data_through_link && QFile::link(realDataPath(), dir_.path() + QStringLiteral("/linked_data"));
    const QString data = dataPath();
    writeData(QStringLiteral("worlds/farm.world"),
              "<world version=\"1\">\n"
              "  <node type=\"PlayerDummy\" id=\"1\" name=\"camera_1\">\n"
              "    <transform>1 0 0 0  0 0 1 0  0 -1 0 0  0 -12 2 1</transform>\n"
              "    <fov>60</fov>\n"
              "  </node>\n"
              "  <node type=\"ObjectMeshStatic\" id=\"2\" name=\"box\">\n"
              "    <transform>1 0 0 0  0 1 0 0  0 0 1 0  0 0 1 1</transform>\n"
              "    <mesh_name>meshes/box.mesh</mesh_name>\n"
              "    <surface name=\"body\" enabled=\"1\"><material>mesh_base</material></surface>\n"
              "  </node>\n"
              "</world>\n");
    writeData(QStringLiteral("worlds/farm.world.meta"), meta("aaaaa00000000000000000000000000000000101", 18));
    writeData(QStringLiteral("meshes/box.mesh"),
              "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\ng body\n"
              "f 1 4 3 2\nf 5 6 7 8\nf 1 2 6 5\nf 2 3 7 6\nf 3 4 8 7\nf 4 1 5 8\n");
    writeData(QStringLiteral("meshes/box.mesh.meta"), meta("bbbbb00000000000000000000000000000000201", 2));
    writeData(QStringLiteral("tracks/fly.track"),
              "<track version=\"1\" unit_time=\"1.0\" max_time=\"2.0\">\n"
              "  <parameter type=\"node.transform\" node=\"camera_1\">\n"
              "    <key time=\"0\">1 0 0 0  0 0 1 0  0 -1 0 0  0 -12 2 1</key>\n"
              "    <key time=\"2\">1 0 0 0  0 0 1 0  0 -1 0 0  6 -12 2 1</key>\n"
              "  </parameter>\n"
              "</track>\n");
    writeData(QStringLiteral("tracks/fly.track.meta"), meta(TRACK_GUID, 13));
    QDir().mkpath(dir_.path() + QStringLiteral("/bin"));

    QStringList args{QStringLiteral("capture_test"),
                     QStringLiteral("-binaries_path"),
                     dir_.path() + QStringLiteral("/bin/"),
                     QStringLiteral("-data_path"),
                     data,
                     QStringLiteral("-cache_path"),
                     dir_.path() + QStringLiteral("/cache/"),
                     QStringLiteral("-fixed_ifps"),
                     QStringLiteral("0.1")};
    args << extra;
    for (const QString &arg : args)
        storage_.push_back(arg.toStdString());
    for (std::string &arg : storage_)
        pointers_.push_back(&arg[0]);
    engine_ = Velmora::Engine::init(Velmora::ENGINE_VERSION, nullptr, int(pointers_.size()), pointers_.data());
    if (!engine_)
        return;

    main_window_ = new View;
    depr::gui.main_window = main_window_;
    window_manager_ = new Editor::WindowManager;
    main_window_->setCentralWidget(window_manager_->getPrivate());
    logic_ = new EditorLogic;
    depr::g.editor = logic_;
    engine_->setEditorLogic(logic_);
    assets_ = new Editor::AssetManagerPrivate;
    depr::g.asset_manager = assets_;
    QSignalSpy initialized(assets_, &Editor::AssetManagerPrivate::initialized);
    assets_->init();
    initialized.wait(10000);
    viewports_ = new ViewportManager(logic_);
    depr::g.viewports = viewports_;
    main_window_->resize(1000, 700);
    main_window_->show();
}

CaptureShell::~CaptureShell()
{
    depr::g.viewports = nullptr;
    delete viewports_;
    if (engine_)
        Velmora::Engine::shutdown();
    depr::g.asset_manager = nullptr;
    if (assets_)
        assets_->shutdown();
    delete assets_;
    depr::g.editor = nullptr;
    delete logic_;
    delete window_manager_; // the private stays with the main window
    depr::gui.main_window = nullptr;
    delete main_window_;
}

QString CaptureShell::dataPath() const
{
    return data_through_link_ ? dir_.path() + QStringLiteral("/linked_data/") : realDataPath();
}

QString CaptureShell::realDataPath() const
{
    return dir_.path() + QStringLiteral("/data/");
}

bool CaptureShell::writeData(const QString &relative, const QByteArray &content) const
{
    const QString path = dataPath() + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

bool CaptureShell::loadWorld()
{
    return Velmora::World::load("worlds/farm");
}

void CaptureShell::quitWorld()
{
    Velmora::World::quit();
}

void CaptureShell::pumpFrames(int count)
{
    for (int i = 0; i < count && Velmora::Engine::get(); ++i) {
        engine_->update();
        engine_->render();
        engine_->swap();
    }
}

} // namespace test
