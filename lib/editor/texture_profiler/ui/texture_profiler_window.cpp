#include "editor/texture_profiler/ui/texture_profiler_window.h"

#include "core/base/model_guids.h"
#include "core/base/widgets/controls_flow_layout.h"
#include "editor/show_assets_dependencies/show_dependencies.h"
#include "editor/texture_profiler/data/log_parser.h"
#include "editor/texture_profiler/data/streaming_settings_guard.h"
#include "editor/texture_profiler/model/textures_filter_proxy_model.h"
#include "editor/texture_profiler/model/textures_model.h"
#include "editor/texture_profiler/ui/textures_header_view.h"

#include <editor_core/CheckBox.h>
#include <editor_core/ComboBox.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/UiCommon.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <editor_core/utils/OverrideCursor.h>
#include <velmora/Base.h>
#include <velmora/Console.h>
#include <velmora/Engine.h>
#include <velmora/Log.h>

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

namespace tprof {

Window::Window(Editor::AssetManagerPrivate *asset_manager, QWidget *parent)
    : QWidget(parent)
    , list_(asset_manager)
    , model_(new TexturesModel(this))
    , proxy_(new TexturesFilterProxyModel(this))
    , open_dependents_(show_deps::showDependents)
    , open_dependencies_(show_deps::showDependencies)
{
    setObjectName(QStringLiteral("TextureProfiler"));
    setWindowTitle(tr("Texture Profiler"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setMinimumHeight(80);
    resize(width(), 500);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    // The controls keep their whole texts: where a narrow dock has no room
    // for them in one row, they continue on a second line.
    auto controls = new base::ControlsFlowLayout;
    QMargins margins = controls->contentsMargins();
    margins.setTop(margins.top() + 6);
    controls->setContentsMargins(margins);
    controls->setSpacing(6);
    auto location = new QWidget(this);
    auto location_layout = new QHBoxLayout(location);
    location_layout->setContentsMargins(0, 0, 0, 0);
    location_layout->setSpacing(6);
    location_layout->addWidget(new QLabel(tr("Location"), location));
    location_combo_ = new ComboBox(location);
    location_combo_->setObjectName(QStringLiteral("location"));
    location_combo_->addItem(tr("From Video Memory"), int(LOCATION_FROM_VIDEO_MEMORY));
    location_combo_->addItem(tr("From Viewport"), int(LOCATION_FROM_VIEWPORT));
    // Never narrower than its longest item: both locations start alike.
    location_combo_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    location_layout->addWidget(location_combo_);
    controls->addWidget(location);
    display_core_check_ = new CheckBox(tr("Display Core Assets"), this);
    display_core_check_->setObjectName(QStringLiteral("display_core_assets"));
    display_core_check_->setCheckable(true);
    display_core_check_->setTristate(false);
    display_core_check_->setChecked(display_core_assets_);
    controls->addWidget(display_core_check_);
    controls->addGap(20);
    refresh_button_ = new QPushButton(tr("Refresh"), this);
    refresh_button_->setObjectName(QStringLiteral("refresh"));
    UiCommon::setButtonMinWidth(refresh_button_, 120);
    controls->addWidget(refresh_button_);
    layout->addLayout(controls);

    proxy_->setDisplayCoreAssets(display_core_assets_);
    proxy_->setShowNotLoaded(false);
    proxy_->setSourceModel(model_);

    textures_view_ = new QTableView(this);
    textures_view_->setObjectName(QStringLiteral("textures"));
    textures_view_->setHorizontalHeader(new TexturesHeaderView(textures_view_));
    textures_view_->setModel(proxy_);
    textures_view_->setAlternatingRowColors(true);
    textures_view_->setSelectionMode(QAbstractItemView::SingleSelection);
    textures_view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    textures_view_->setContextMenuPolicy(Qt::CustomContextMenu);
    textures_view_->verticalHeader()->hide();
    textures_view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    textures_view_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    textures_view_->setShowGrid(false);
    // In a low dock the table gives up its rows before the controls above
    // it lose theirs.
    textures_view_->setMinimumHeight(1);
    // Sorting on sorts at once by the header's indicator, which starts on the
    // first column in descending order: paths read from A to Z instead.
    textures_view_->setSortingEnabled(true);
    textures_view_->sortByColumn(TexturesModel::COLUMN_PATH, Qt::AscendingOrder);
    // One line per row; when a path does not fit its file name stays
    // readable (eliding in the middle of a narrow column left only "text...png").
    textures_view_->setWordWrap(false);
    textures_view_->setTextElideMode(Qt::ElideLeft);
    layout->addWidget(textures_view_);

    connect(location_combo_, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int index) { setLocation(location_combo_->itemData(index).toInt()); });
    // toggled rather than clicked: the flag follows the box however it is
    // changed (a click, the keyboard, or code that checks the box), so the
    // filter never disagrees with what the box shows.
    connect(display_core_check_, &QCheckBox::toggled, this, &Window::setDisplayCoreAssets);
    connect(refresh_button_, &QPushButton::clicked, this, &Window::refresh);
    connect(textures_view_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &position) { showContextMenu(textures_view_->viewport()->mapToGlobal(position)); });
    connect(textures_view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection &selected, const QItemSelection &) { onSelectionChanged(selected); });
}

Window::~Window()
{
    // The list goes before the child widgets and models that read it.
    model_->setList(nullptr);
}

void Window::refresh()
{
    utils::OverrideCursor cursor(Qt::WaitCursor);
    // The view lets go of the old rows before they are dropped: the frames
    // below may repaint.
    model_->setList(nullptr);
    list_.clear();
    std::unique_ptr<StreamingSettingsGuard> guard;
    if (location_ == LOCATION_FROM_VIEWPORT) {
        guard = std::make_unique<StreamingSettingsGuard>();
        if (Velmora::Engine *engine = Velmora::Engine::get()) {
            for (int frame = 0; frame < VIEWPORT_FRAMES; ++frame) {
                engine->update();
                engine->render();
                engine->swap();
            }
        }
    }
    runStreamingList(&list_);
    model_->setList(&list_);
}

void Window::runStreamingList(TexturesList *list)
{
    // Earlier output must not reach the parser.
    Velmora::Console::flush();
    LogParser parser(list);
    void *callback_id = Velmora::Console::addOutputCallback(new Velmora::CallbackFunction2<const char *, int>(
            [&parser](const char *text, int kind) { parser.onConsoleOutput(text, kind); }));
    if (!callback_id) {
        Velmora::Log::warning("Texture Profiler: cannot read the console output, no textures listed\n");
        return;
    }
    Velmora::Console::run("render_streaming_list");
    Velmora::Console::flush();
    Velmora::Console::removeOutputCallback(callback_id);
}

void Window::setLocation(int type)
{
    if (type < LOCATION_FIRST || type >= LOCATION_SIZE || type == location_)
        return;
    location_ = type;
    if (location_combo_->currentData().toInt() != type)
        location_combo_->setCurrentIndex(location_combo_->findData(type));
    applyFilter();
}

void Window::setDisplayCoreAssets(bool on)
{
    if (on == display_core_assets_)
        return;
    display_core_assets_ = on;
    display_core_check_->setChecked(on);
    applyFilter();
}

void Window::applyFilter()
{
    proxy_->setDisplayCoreAssets(display_core_assets_);
    proxy_->setShowNotLoaded(false);
}

void Window::assetChanged(const Velmora::UGUID &asset_guid)
{
    if (asset_guid.isEmpty())
        return;
    if (list_.update(asset_guid))
        model_->assetChanged(asset_guid);
}

void Window::assetRemoved(const Velmora::UGUID &asset_guid)
{
    if (asset_guid.isEmpty())
        return;
    const QModelIndex view_index = proxy_->mapFromSource(model_->indexOf(asset_guid));
    const bool was_selected = view_index.isValid() && textures_view_->selectionModel()->isRowSelected(view_index.row());
    if (list_.remove(asset_guid))
        model_->setList(&list_);
    if (was_selected) {
        selecting_ = true;
        textures_view_->selectionModel()->clearSelection();
        selecting_ = false;
    }
}

Velmora::Vector<Velmora::UGUID> Window::selectedGuids(const QModelIndexList &indexes) const
{
    return ModelGuids::distinct(indexes, TexturesModel::GUID_ROLE);
}

void Window::onSelectionChanged(const QItemSelection &selected)
{
    if (selecting_)
        return;
    selecting_ = true;
    const Velmora::Vector<Velmora::UGUID> guids = selectedGuids(selected.indexes());
    Editor::SelectionAction::applySelection(guids.isEmpty() ? nullptr
                                                            : Editor::SelectorGUIDs::createRuntimesSelector(guids));
    selecting_ = false;
}

QMenu *Window::createContextMenu()
{
    const Velmora::Vector<Velmora::UGUID> guids = selectedGuids(textures_view_->selectionModel()->selectedIndexes());
    if (guids.isEmpty())
        return nullptr;
    auto menu = new QMenu;
    QAction *dependents = menu->addAction(tr("Show Assets Using This One"));
    connect(dependents, &QAction::triggered, this, [this, guids] {
        if (open_dependents_)
            open_dependents_(guids);
    });
    QAction *dependencies = menu->addAction(tr("Show Assets Used"));
    connect(dependencies, &QAction::triggered, this, [this, guids] {
        if (open_dependencies_)
            open_dependencies_(guids);
    });
    return menu;
}

void Window::setDependencyOpeners(DependencyOpener dependents, DependencyOpener dependencies)
{
    open_dependents_ = std::move(dependents);
    open_dependencies_ = std::move(dependencies);
}

void Window::showContextMenu(const QPoint &global_position)
{
    std::unique_ptr<QMenu> menu(createContextMenu());
    if (menu)
        menu->exec(global_position);
}

void Window::fitLocationBox()
{
    // The style sheet's box model leaves the text of the longest location a
    // pixel or two, less than a display's hinting can make it need ("From
    // Video Memor"): measured with the box's own style and font, its text
    // field gets the longest item and one character more.
    ComboBox *box = location_combo_;
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.editable = box->isEditable();
    option.frame = box->hasFrame();
    option.rect = QRect(QPoint(0, 0), box->sizeHint());
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    const QFontMetrics metrics = box->fontMetrics();
    int text = 0;
    for (int i = 0; i < box->count(); ++i)
        text = std::max(text, metrics.horizontalAdvance(box->itemText(i)));
    const int wanted = option.rect.width() - field.width() + text + metrics.averageCharWidth();
    if (wanted > box->minimumWidth())
        box->setMinimumWidth(wanted);
}

void Window::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    fitLocationBox();
    QHeaderView *header = textures_view_->horizontalHeader();
    if (header->count() < 2 || header->sectionResizeMode(header->logicalIndex(1)) == QHeaderView::Fixed)
        return;
    header->setSectionResizeMode(header->logicalIndex(0), QHeaderView::Stretch);
    for (int visual = 1; visual < header->count(); ++visual)
        header->setSectionResizeMode(header->logicalIndex(visual), QHeaderView::ResizeToContents);
}

void Window::restoreSettings(EditorSettings *settings)
{
    if (!settings)
        return;
    const EditorSettings::TextureProfilerSection section = settings->textureProfiler();
    const QByteArray geometry = section.geometry.getBytes(QByteArray());
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    const bool display_core
            = section.display_core_assets.file->getBool(section.display_core_assets.key, display_core_assets_);
    if (display_core != display_core_assets_)
        setDisplayCoreAssets(display_core);
    const int location = section.location.file->getInt(section.location.key, location_);
    if (location == LOCATION_FROM_VIDEO_MEMORY || location == LOCATION_FROM_VIEWPORT)
        setLocation(location);
}

void Window::saveSettings(EditorSettings *settings)
{
    if (!settings)
        return;
    const EditorSettings::TextureProfilerSection section = settings->textureProfiler();
    section.geometry.file->set(section.geometry.key, saveGeometry());
    section.display_core_assets.file->set(section.display_core_assets.key, display_core_assets_);
    section.location.file->set(section.location.key, location_);
}

} // namespace tprof
