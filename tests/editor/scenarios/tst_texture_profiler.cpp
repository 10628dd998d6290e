#include "scenario_runner.h"

#include "editor/presenter/presenter.h"
#include "editor/texture_profiler/model/textures_filter_proxy_model.h"
#include "editor/texture_profiler/model/textures_model.h"
#include "editor/texture_profiler/ui/texture_profiler_window.h"

#include <editor_core/View.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/WindowManager.h>
#include <editor_core/editor/WindowManagerPrivate.h>
#include <velmora/Node.h>
#include <velmora/Render.h>
#include <velmora/World.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

tprof::Window *profiler()
{
    return test::presenter()->textureProfiler();
}

QStringList shownPaths()
{
    QStringList paths;
    const QAbstractItemModel *model = profiler()->texturesView()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        paths << model->index(row, tprof::TexturesModel::COLUMN_PATH).data().toString();
    return paths;
}

bool writePng(const QString &path, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(qRgba(90, 160, 60, 255));
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path, "PNG");
}

QByteArray quad(int id, const char *name, const char *material, float x)
{
    return QByteArray("<node type=\"ObjectMeshStatic\" id=\"") + QByteArray::number(id) + "\" name=\"" + name
            + "\"><transform>1 0 0 0  0 1 0 0  0 0 1 0  " + QByteArray::number(x)
            + " 0 0 1</transform><mesh_name>meshes/quad.mesh</mesh_name><surface name=\"face\"><material>" + material
            + "</material></surface></node>";
}

// Texts of every cell of a window's tables.
QStringList cellTexts(QWidget *window)
{
    QStringList texts;
    for (QTableView *table : window->findChildren<QTableView *>()) {
        const QAbstractItemModel *model = table->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            for (int column = 0; column < model->columnCount(); ++column)
                texts << model->index(row, column).data().toString();
        }
    }
    return texts;
}

// The visible top-level window with that title and a table, holding text
// in a cell when text is given; null when none.
QWidget *resultWindow(const QString &title, const QString &text = QString())
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->windowTitle() == title && !widget->findChildren<QTableView *>().isEmpty()
            && (text.isEmpty() || cellTexts(widget).contains(text)))
            return widget;
    }
    return nullptr;
}

void screenshot(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        QVERIFY(widget->grab().save(folder + QLatin1Char('/') + name));
}

// A world of two textured quads; each texture is an asset used by a
// material asset.
class ProfileStreet : public test::Scenario
{
    Q_OBJECT

public:
    void prepare(test::ProjectBuilder &project, QStringList &arguments) override
    {
        project.asset(QStringLiteral("materials/big.mat"),
                      "<material name=\"big\"><texture name=\"albedo\">textures/big.png</texture></material>",
                      QStringLiteral("{b101}"))
                .asset(QStringLiteral("materials/small.mat"),
                       "<material name=\"small\"><texture name=\"albedo\">textures/small.png</texture></material>",
                       QStringLiteral("{b102}"))
                .asset(QStringLiteral("meshes/quad.mesh"),
                       "v -1 0 -1\nv 1 0 -1\nv 1 0 1\nv -1 0 1\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                       "g face\nf 1/1 2/2 3/3 4/4\n",
                       QStringLiteral("{b103}"))
                .asset(QStringLiteral("street.world"),
                       "<world>" + quad(1, "big", "big", -1.5f) + quad(2, "small", "small", 1.5f) + "</world>",
                       QStringLiteral("{b104}"))
                .rawMeta(QStringLiteral("textures/big.png"),
                         test::ProjectBuilder::expandGuids(
                                 QStringLiteral("<asset version=\"1\" guid=\"{a101}\" excluded=\"0\"/>"))
                                 .toUtf8())
                .rawMeta(QStringLiteral("textures/small.png"),
                         test::ProjectBuilder::expandGuids(
                                 QStringLiteral("<asset version=\"1\" guid=\"{a102}\" excluded=\"0\"/>"))
                                 .toUtf8());
        QVERIFY(writePng(project.dataPath() + QStringLiteral("textures/big.png"), 128, 64));
        QVERIFY(writePng(project.dataPath() + QStringLiteral("textures/small.png"), 16, 16));
        arguments << QStringLiteral("-console_command") << QStringLiteral("world_load \"street\"");
    }

private slots:
    // What the editor's own views draw decides what stays loaded.
    void from_viewport_lists_what_the_editor_views_draw()
    {
        QTRY_VERIFY(Velmora::World::isLoaded());
        emit depr::g.window_manager->toggleTextureProfiler();
        QTRY_VERIFY(profiler()->isVisible());
        Velmora::World::getNodeByName("small")->setEnabled(false);
        QVERIFY(test::waitFrames(2));
        const int limit = Velmora::Render::getStreamingTexturesMemoryLimit();
        const int duration = Velmora::Render::getStreamingDestroyDuration();
        QTest::mouseClick(profiler()->refreshButton(), Qt::LeftButton);
        QCOMPARE(shownPaths(), QStringList({"textures/big.png", "textures/small.png"}));

        profiler()->locationComboBox()->setCurrentIndex(tprof::Window::LOCATION_FROM_VIEWPORT);
        QTest::mouseClick(profiler()->refreshButton(), Qt::LeftButton);
        QCOMPARE(shownPaths(), QStringList({"textures/big.png"}));
        QCOMPARE(Velmora::Render::getStreamingTexturesMemoryLimit(), limit);
        QCOMPARE(Velmora::Render::getStreamingDestroyDuration(), duration);
        screenshot(static_cast<QWidget *>(depr::gui.main_window), QStringLiteral("editor_texture_profiler.png"));
    }

    void the_context_menu_opens_both_dependency_windows()
    {
        const QModelIndex source = profiler()->model()->indexOf(
                Velmora::UGUID(test::ProjectBuilder::expandGuids(QStringLiteral("{a101}")).toUtf8().constData()));
        QVERIFY(source.isValid());
        profiler()->texturesView()->selectRow(profiler()->proxy()->mapFromSource(source).row());
        std::unique_ptr<QMenu> menu(profiler()->createContextMenu());
        QVERIFY(menu);
        QCOMPARE(menu->actions().size(), 2);

        // The material that names the texture uses it.
        menu->actions()[0]->trigger();
        const QString using_title = QStringLiteral("Assets Using This One");
        QTRY_VERIFY_WITH_TIMEOUT(resultWindow(using_title, QStringLiteral("big")), 20000);
        screenshot(resultWindow(using_title), QStringLiteral("editor_assets_using_this_one.png"));
        menu->actions()[1]->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(resultWindow(QStringLiteral("Assets Used")), 20000);
    }
};

} // namespace

int main(int argc, char **argv)
{
    return test::runScenarios(argc, argv,
                              {
                                      {"profile_street", [] { return std::make_unique<ProfileStreet>(); }},
                              });
}

#include "tst_texture_profiler.moc"
