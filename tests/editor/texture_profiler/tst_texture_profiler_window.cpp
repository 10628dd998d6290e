#include "profiler_fixture.h"

#include "editor/texture_profiler/model/textures_filter_proxy_model.h"
#include "editor/texture_profiler/model/textures_model.h"
#include "editor/texture_profiler/ui/texture_profiler_window.h"

#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <velmora/Console.h>
#include <velmora/Game.h>
#include <velmora/Node.h>

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

using namespace proftest;

namespace {

// Paths the window's table shows, sorted.
QStringList shownPaths(const tprof::Window &window)
{
    QStringList paths;
    const QAbstractItemModel *model = window.texturesView()->model();
    for (int row = 0; row < model->rowCount(); ++row)
        paths << model->index(row, tprof::TexturesModel::COLUMN_PATH).data().toString();
    paths.sort();
    return paths;
}

int listingsRun()
{
    int count = 0;
    for (const Velmora::String &line : Velmora::Console::getCommandLog()) {
        if (line == Velmora::String("render_streaming_list"))
            ++count;
    }
    return count;
}

void selectAsset(tprof::Window &window, const Velmora::UGUID &guid)
{
    const QModelIndex index = window.proxy()->mapFromSource(window.model()->indexOf(guid));
    QVERIFY(index.isValid());
    window.texturesView()->selectRow(index.row());
}

QVector<Velmora::UGUID> lastAppliedGuids()
{
    const auto *selector = dynamic_cast<const Editor::SelectorGUIDs *>(Editor::SelectionAction::lastApplied());
    QVector<Velmora::UGUID> guids;
    if (selector) {
        for (const Velmora::UGUID &guid : selector->getGUIDs())
            guids << guid;
    }
    return guids;
}

} // namespace

class tst_TextureProfilerWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void refresh_lists_the_streamed_textures_and_hiding_core_rows_needs_no_new_listing();
    void from_viewport_lists_what_the_last_frames_used_and_restores_the_streaming_settings();
    void selecting_a_row_selects_its_asset_and_the_context_menu_opens_its_dependencies();
    void removing_the_selected_asset_drops_its_row_without_a_new_selection();
    void a_moved_asset_shows_its_new_path();
    void the_location_box_shows_its_whole_text_at_the_narrowest_width();

private:
    ProfilerFixture *fixture_ = nullptr;
    tprof::Window *window_ = nullptr;
};

void tst_TextureProfilerWindow::init()
{
    fixture_ = new ProfilerFixture;
    QVERIFY(fixture_->start());
    ProfilerFixture::frame();
    window_ = new tprof::Window(fixture_->assets());
    // Connected as the editor shell connects them.
    connect(fixture_->assets(), &Editor::AssetManagerPrivate::changed, window_, &tprof::Window::assetChanged);
    connect(fixture_->assets(), &Editor::AssetManagerPrivate::moved, window_, &tprof::Window::assetChanged);
    connect(fixture_->assets(), &Editor::AssetManagerPrivate::removed, window_, &tprof::Window::assetRemoved);
    window_->resize(760, 300);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_));
    Editor::SelectionAction::resetLastApplied();
}

void tst_TextureProfilerWindow::cleanup()
{
    delete window_;
    window_ = nullptr;
    delete fixture_;
    fixture_ = nullptr;
}

void tst_TextureProfilerWindow::refresh_lists_the_streamed_textures_and_hiding_core_rows_needs_no_new_listing()
{
    QCOMPARE(window_->texturesView()->model()->rowCount(), 0);
    QTest::mouseClick(window_->refreshButton(), Qt::LeftButton);

    // Loaded textures only; the missing file is dropped, the unused one is
    // listed but not loaded.
    QCOMPARE(shownPaths(*window_),
             QStringList({"core/textures/white.png", "textures/big.png", "textures/loose.png", "textures/small.png"}));
    QCOMPARE(window_->list().size(), 5);
    const QModelIndex big = window_->model()->indexOf(bigGuid());
    QStringList texts;
    for (int column = 0; column < window_->model()->columnCount(); ++column)
        texts << big.sibling(big.row(), column).data().toString();
    // Main memory: the renderer's float texels; video memory: RGBA8 texels.
    const QString ram = QString::fromUtf8(Velmora::String::memory(64 * 32 * 16).get());
    const QString vram = QString::fromUtf8(Velmora::String::memory(64 * 32 * 4).get());
    QCOMPARE(texts, QStringList({"textures/big.png", "png", ram, vram, "RGBA8", "64x32"}));
    QCOMPARE(listingsRun(), 1);

    const QString screenshots = qEnvironmentVariable("VELMORA_SCREENSHOT_DIR");
    if (!screenshots.isEmpty())
        QVERIFY(window_->grab().save(screenshots + QStringLiteral("/texture_profiler.png")));

    QTest::mouseClick(window_->displayCoreAssetsCheckBox(), Qt::LeftButton);
    QCOMPARE(window_->displayCoreAssets(), false);
    QCOMPARE(shownPaths(*window_), QStringList({"textures/big.png", "textures/loose.png", "textures/small.png"}));
    QCOMPARE(listingsRun(), 1);
}

void tst_TextureProfilerWindow::from_viewport_lists_what_the_last_frames_used_and_restores_the_streaming_settings()
{
    Velmora::Render::setStreamingTexturesMemoryLimit(777);
    Velmora::Render::setStreamingDestroyDuration(33);
    Velmora::World::getNodeByName("small")->setEnabled(false);
    ProfilerFixture::frame();

    // From video memory: the small texture is still held within the limits.
    window_->refresh();
    QVERIFY(shownPaths(*window_).contains(QStringLiteral("textures/small.png")));

    window_->locationComboBox()->setCurrentIndex(1);
    QCOMPARE(window_->location(), int(tprof::Window::LOCATION_FROM_VIEWPORT));
    const int frame = Velmora::Game::getFrame();
    fixture_->view.frames = 0;
    fixture_->view.limits.clear();
    window_->refresh();

    QCOMPARE(Velmora::Game::getFrame() - frame, tprof::Window::VIEWPORT_FRAMES);
    QCOMPARE(fixture_->view.frames, tprof::Window::VIEWPORT_FRAMES);
    const QVector<QPair<int, int>> zero_limits(tprof::Window::VIEWPORT_FRAMES, qMakePair(0, 0));
    QCOMPARE(fixture_->view.limits, zero_limits);
    QCOMPARE(Velmora::Render::getStreamingTexturesMemoryLimit(), 777);
    QCOMPARE(Velmora::Render::getStreamingDestroyDuration(), 33);
    QCOMPARE(shownPaths(*window_), QStringList({"core/textures/white.png", "textures/big.png", "textures/loose.png"}));
}

void tst_TextureProfilerWindow::selecting_a_row_selects_its_asset_and_the_context_menu_opens_its_dependencies()
{
    QVector<Velmora::UGUID> dependents;
    QVector<Velmora::UGUID> dependencies;
    window_->setDependencyOpeners(
            [&dependents](const Velmora::Vector<Velmora::UGUID> &guids) {
                for (const Velmora::UGUID &guid : guids)
                    dependents << guid;
                return true;
            },
            [&dependencies](const Velmora::Vector<Velmora::UGUID> &guids) {
                for (const Velmora::UGUID &guid : guids)
                    dependencies << guid;
                return true;
            });
    window_->refresh();
    QVERIFY(!window_->createContextMenu());

    selectAsset(*window_, bigGuid());
    QCOMPARE(lastAppliedGuids(), QVector<Velmora::UGUID>({bigGuid()}));
    std::unique_ptr<QMenu> menu(window_->createContextMenu());
    QVERIFY(menu);
    const QList<QAction *> actions = menu->actions();
    QCOMPARE(actions.size(), 2);
    QCOMPARE(actions[0]->text(), QStringLiteral("Show Assets Using This One"));
    QCOMPARE(actions[1]->text(), QStringLiteral("Show Assets Used"));
    QVERIFY(actions[0]->shortcut().isEmpty() && actions[1]->shortcut().isEmpty());
    actions[0]->trigger();
    QCOMPARE(dependents, QVector<Velmora::UGUID>({bigGuid()}));
    QVERIFY(dependencies.isEmpty());
    actions[1]->trigger();
    QCOMPARE(dependencies, QVector<Velmora::UGUID>({bigGuid()}));

    // A file outside the asset database selects nothing and has no menu.
    const int applied = Editor::SelectionAction::applyCount();
    for (int row = 0; row < window_->proxy()->rowCount(); ++row) {
        if (window_->proxy()->index(row, 0).data().toString() == QLatin1String("textures/loose.png"))
            window_->texturesView()->selectRow(row);
    }
    QCOMPARE(Editor::SelectionAction::applyCount(), applied + 1);
    QVERIFY(!Editor::SelectionAction::lastApplied());
    QVERIFY(!window_->createContextMenu());
}

void tst_TextureProfilerWindow::removing_the_selected_asset_drops_its_row_without_a_new_selection()
{
    window_->refresh();
    selectAsset(*window_, bigGuid());
    const int applied = Editor::SelectionAction::applyCount();
    const int rows = window_->proxy()->rowCount();

    QVERIFY(QFile::remove(fixture_->dataPath() + QStringLiteral("textures/big.png.meta")));
    QSignalSpy removed(fixture_->assets(), &Editor::AssetManagerPrivate::removed);
    QVERIFY(fixture_->rescan());
    QCOMPARE(removed.count(), 1);

    QVERIFY(!window_->model()->indexOf(bigGuid()).isValid());
    QCOMPARE(window_->proxy()->rowCount(), rows - 1);
    QVERIFY(!window_->texturesView()->selectionModel()->hasSelection());
    QCOMPARE(Editor::SelectionAction::applyCount(), applied);
    QCOMPARE(lastAppliedGuids(), QVector<Velmora::UGUID>({bigGuid()}));
}

void tst_TextureProfilerWindow::a_moved_asset_shows_its_new_path()
{
    window_->refresh();
    const int row = window_->model()->indexOf(smallGuid()).row();
    QVERIFY(row >= 0);
    QSignalSpy changed(window_->model(), &QAbstractItemModel::dataChanged);

    const QString data = fixture_->dataPath();
    QVERIFY(QDir(data).mkpath(QStringLiteral("moved")));
    QVERIFY(QFile::rename(data + QStringLiteral("textures/small.png"), data + QStringLiteral("moved/tiny.jpeg")));
    QVERIFY(QFile::rename(data + QStringLiteral("textures/small.png.meta"),
                          data + QStringLiteral("moved/tiny.jpeg.meta")));
    QVERIFY(fixture_->rescan());

    QCOMPARE(window_->list().at(row).path, QStringLiteral("moved/tiny.jpeg"));
    QCOMPARE(window_->list().at(row).extension, QStringLiteral("jpeg"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), window_->model()->index(row, 0));
    QCOMPARE(changed[0][1].toModelIndex(), window_->model()->index(row, 1));

    // Nothing new to show: no signal.
    window_->assetChanged(smallGuid());
    QCOMPARE(changed.count(), 1);
}

void tst_TextureProfilerWindow::the_location_box_shows_its_whole_text_at_the_narrowest_width()
{
    window_->resize(window_->minimumSizeHint().width(), 300);
    QTRY_COMPARE(window_->width(), window_->minimumSizeHint().width());
    QVERIFY(window_->locationComboBox()->width() >= window_->locationComboBox()->sizeHint().width());
}

QTEST_MAIN(tst_TextureProfilerWindow)
#include "tst_texture_profiler_window.moc"
