#include "editor/tools/randomizer_widget.h"

#include "editor/tools/randomizer_weights.h"
#include "ui_randomizer_widget.h"

#include <editor_core/AssetReplacerDelegateFactory.h>
#include <editor_core/AssetWidget.h>
#include <editor_core/AssetsMimeDataHandler.h>
#include <editor_core/CreateNodesAction.h>
#include <editor_core/TransformNodesAction.h>
#include <editor_core/common/Common.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>
#include <editor_core/editor/RemoveNodesAction.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/editor/SelectionAction.h>
#include <editor_core/editor/Undo.h>

#include <velmora/Game.h>
#include <velmora/Materials.h>
#include <velmora/Math.h>
#include <velmora/Object.h>
#include <velmora/World.h>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QHash>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QtDebug>

#include <cmath>
#include <cstring>
#include <memory>

using Velmora::Node;
using Velmora::Ptr;
using Velmora::UGUID;

namespace {

// Asset types a list entry accepts: node, mesh and model.
constexpr int ASSET_TYPE_NODE = 1;
constexpr int ASSET_TYPE_MESH = 2;
constexpr int ASSET_TYPE_MODEL = 7;

float draw(const QDoubleSpinBox *from, const QDoubleSpinBox *to)
{
    return float(Velmora::Game::getRandomDouble(from->value(), to->value()));
}

// The least value a range spin box leaves room for.
constexpr double ROOM_FOR_VALUE = -999.999;

} // namespace

RandomizerRangeSpinBox::RandomizerRangeSpinBox(QWidget *parent)
    : DoubleSpinBox(parent)
{
    // Layouts take the minimum hint for the least width of a box that may shrink.
    setSizePolicy(QSizePolicy::Preferred, sizePolicy().verticalPolicy());
    connect(this, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this, [this](double value) {
        const int width = textWidth(value);
        if (width != shown_width_) {
            shown_width_ = width;
            updateGeometry();
        }
    });
}

QSize RandomizerRangeSpinBox::minimumSizeHint() const
{
    // The text of the range's ends gave the width of the base's hint.
    QSize size = DoubleSpinBox::minimumSizeHint();
    const int range = std::max(textWidth(minimum()), textWidth(maximum()));
    const int shown = std::max(textWidth(value()), textWidth(ROOM_FOR_VALUE));
    if (shown < range)
        size.rwidth() -= range - shown;
    return size;
}

int RandomizerRangeSpinBox::textWidth(double value) const
{
    return fontMetrics().horizontalAdvance(prefix() + textFromValue(value) + suffix());
}

RandomizerWidget::RandomizerWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_RandomizerWidget)
{
    ui->setupUi(this);
    // The form scrolls up and down only: it keeps the width its fields
    // need, also as entries come and go.
    ui->scroll_main_contents->installEventFilter(this);
    fitFormWidth();
    connect(ui->button_add, &QPushButton::clicked, this, [this] { addRow(); });
    connect(ui->button_replace, &QPushButton::clicked, this, &RandomizerWidget::replace);
    connect(ui->uniform_scale, &QCheckBox::clicked, this, &RandomizerWidget::onUniformScaleToggled);
    setAcceptDrops(true);
    hide();
}

RandomizerWidget::~RandomizerWidget()
{
    delete ui;
    for (Row *row : qAsConst(rows)) {
        row->container->deleteLater();
        delete row;
    }
    rows.clear();
}

RandomizerWidget::Row *RandomizerWidget::addRow()
{
    auto *row = new Row;
    row->owner = this;
    row->container = new QWidget;
    auto *layout = new QHBoxLayout(row->container);
    layout->setContentsMargins(0, 0, 0, 0);
    // Entries keep their height; a long list scrolls instead of squeezing.
    row->container->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    row->asset = new AssetWidget(row->container);
    for (int type : {ASSET_TYPE_NODE, ASSET_TYPE_MESH, ASSET_TYPE_MODEL})
        row->asset->enableSupport(type, -1);
    row->asset->setReplacerDelegate(AssetReplacerDelegateFactory::create(row->asset->getFilter()));

    row->clear = new QToolButton(row->container);
    row->clear->setIcon(QIcon(QStringLiteral(":/images/action_clear.png")));
    row->clear->setFixedSize(16, 16);
    row->clear->setAutoRaise(true);
    row->clear->setToolTip(tr("Remove this entry"));

    row->weight = new QSpinBox(row->container);
    row->weight->setValue(1);
    row->weight->setToolTip(tr("Relative probability of this entry"));

    layout->addWidget(row->asset, 1);
    layout->addWidget(row->weight);
    layout->addWidget(row->clear);
    connect(row->clear, &QToolButton::clicked, this, [this, row] { removeRow(row); });

    rows.append(row);
    QVBoxLayout *list = ui->layout_nodes;
    QLayoutItem *first = list->itemAt(0);
    const bool only_spacer = first && first->spacerItem();
    list->insertWidget(only_spacer ? 0 : list->count() - 1, row->container);
    return row;
}

void RandomizerWidget::removeRow(Row *row)
{
    if (!row || !rows.contains(row))
        return;
    rows.removeAll(row);
    ui->layout_nodes->removeWidget(row->container);
    row->container->hide();
    row->container->deleteLater();
    delete row;
}

void RandomizerWidget::onUniformScaleToggled(bool checked)
{
    for (QDoubleSpinBox *spin :
         {ui->spin_from_scale_y, ui->spin_from_scale_z, ui->spin_to_scale_y, ui->spin_to_scale_z})
        spin->setEnabled(!checked);
}

void RandomizerWidget::applyRandomTransform(const Ptr<Node> &node)
{
    // All nine values are drawn in a fixed order, whatever is used, so that
    // a seed gives the same result every time.
    const float offset_x = draw(ui->spin_from_offset_x, ui->spin_to_offset_x);
    const float offset_y = draw(ui->spin_from_offset_y, ui->spin_to_offset_y);
    const float offset_z = draw(ui->spin_from_offset_z, ui->spin_to_offset_z);
    const float rot_x = draw(ui->spin_from_rot_x, ui->spin_to_rot_x);
    const float rot_y = draw(ui->spin_from_rot_y, ui->spin_to_rot_y);
    const float rot_z = draw(ui->spin_from_rot_z, ui->spin_to_rot_z);
    const float scale_x = draw(ui->spin_from_scale_x, ui->spin_to_scale_x);
    const float scale_y = draw(ui->spin_from_scale_y, ui->spin_to_scale_y);
    const float scale_z = draw(ui->spin_from_scale_z, ui->spin_to_scale_z);

    const Velmora::vec3 position = node->getPosition() + Velmora::vec3(offset_x, offset_y, offset_z);
    Velmora::mat4 rotation(node->getRotation());
    rotation = rotation * (Velmora::Math::rotateX(rot_x) * Velmora::Math::rotateY(rot_y))
            * Velmora::Math::rotateZ(rot_z);
    node->setPosition(position);
    node->setRotation(Velmora::quat(rotation), false);

    const Velmora::vec3 scale = ui->uniform_scale->isChecked() ? Velmora::vec3(scale_x, scale_x, scale_x)
                                                               : Velmora::vec3(scale_x, scale_y, scale_z);
    const bool changes = std::fabs(scale.x - 1.0f) >= 1e-6f || std::fabs(scale.y - 1.0f) >= 1e-6f
            || std::fabs(scale.z - 1.0f) >= 1e-6f;
    if (changes)
        node->setScale(scale);
}

Ptr<Node> RandomizerWidget::createNode(const UGUID &guid, bool use_node_reference) const
{
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;
    const as::Runtime runtime = assets->runtime(guid);
    const as::Asset asset = assets->asset(runtime.getAssetGUID());
    const Velmora::String text = guid.getString();
    Ptr<Node> node;
    if (int(asset.getType()) == ASSET_TYPE_MESH || runtime.getType() == as::Runtime::KIND_MESH) {
        node = Velmora::ObjectMeshStatic::create(text.get(), false);
        if (node)
            Common::setObjectMaterial(node, Velmora::Materials::findBaseMaterial("mesh_base"));
    } else if (use_node_reference) {
        node = Velmora::NodeReference::create(text.get());
    } else {
        node = Velmora::World::loadNode(text.get(), 1);
    }
    if (!node)
        qWarning() << "Can't open node" << runtime.getName();
    return node;
}

void RandomizerWidget::replace()
{
    Editor::Selector *selector = Editor::Selection::getSelector();
    if (!selector || selector->type() != Editor::Selector::TYPE_NODES)
        return;
    auto *selector_nodes = dynamic_cast<Editor::SelectorNodes *>(selector);
    if (!selector_nodes)
        return;
    const Velmora::Vector<Ptr<Node>> nodes = selector_nodes->getNodes();
    if (nodes.isEmpty())
        return;

    const bool use_node_reference = ui->use_node_reference->isChecked();
    QVector<int> weights;
    weights.reserve(rows.size());
    for (const Row *row : qAsConst(rows))
        weights.append(row->weight->value());
    const RandomizerWeights table(weights);

    QVector<Ptr<Node>> created;
    QVector<Ptr<Node>> kept;
    QVector<Ptr<Node>> replaced;
    auto selection = std::make_unique<Editor::SelectorNodes>();
    Editor::AssetManagerPrivate *assets = depr::g.asset_manager;

    for (const Ptr<Node> &old_node : nodes) {
        const float r = Velmora::Game::getRandomFloat(0.0f, 1.0f);
        const int index = table.pick(r);
        if (index < 0) {
            kept.append(old_node);
            continue;
        }
        const UGUID guid = rows[index]->asset->getGUID();
        if (guid.isEmpty() || !assets || !assets->hasRuntime(guid))
            continue;
        const Ptr<Node> new_node = createNode(guid, use_node_reference);
        if (!new_node)
            continue;
        if (std::strcmp(new_node->getName(), old_node->getName()) != 0)
            new_node->setName(old_node->getName());
        new_node->setParent(old_node->getParent());
        new_node->setTransform(old_node->getTransform());
        applyRandomTransform(new_node);
        created.append(new_node);
        replaced.append(old_node);
        selection->extend(new_node);
    }

    // A node replaced together with its parent goes under the parent's
    // replacement: the old parent leaves the world and would take it along.
    QHash<const Node *, Ptr<Node>> replacement_of;
    replacement_of.reserve(replaced.size());
    for (int i = 0; i < replaced.size(); ++i)
        replacement_of.insert(replaced[i].get(), created[i]);
    for (const Ptr<Node> &new_node : qAsConst(created)) {
        const Ptr<Node> parent = replacement_of.value(new_node->getParent().get());
        if (parent)
            new_node->setParent(parent);
    }

    Editor::Undo::begin();
    Editor::SelectionAction::applySelection(Editor::Selection::getSelector()->clone());
    Editor::Undo::apply(new TransformNodesAction(kept, Velmora::mat4(), TransformNodesAction::MODE_MULTIPLY));
    for (const Ptr<Node> &node : qAsConst(kept)) {
        applyRandomTransform(node);
        selection->extend(node);
    }
    Editor::Undo::apply(new CreateNodesAction(created, false));
    Editor::Undo::apply(new Editor::RemoveNodesAction(replaced));
    Editor::SelectionAction::applySelection(selection.release());
    Editor::Undo::commit();
}

bool RandomizerWidget::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->scroll_main_contents && event->type() == QEvent::LayoutRequest)
        fitFormWidth();
    return QWidget::eventFilter(watched, event);
}

void RandomizerWidget::fitFormWidth()
{
    const int bar = ui->scroll_main->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr,
                                                          ui->scroll_main->verticalScrollBar());
    ui->scroll_main->setMinimumWidth(ui->scroll_main_contents->minimumSizeHint().width() + bar);
}

void RandomizerWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (!AssetsMimeDataHandler::supports(event->mimeData()))
        return;
    const AssetsMimeDataHandler handler(event->mimeData());
    if (handler.hasAssets(ASSET_TYPE_NODE) || handler.hasAssets(ASSET_TYPE_MESH) || handler.hasAssets(ASSET_TYPE_MODEL))
        event->acceptProposedAction();
}

void RandomizerWidget::dropEvent(QDropEvent *event)
{
    if (!AssetsMimeDataHandler::supports(event->mimeData()))
        return;
    const AssetsMimeDataHandler handler(event->mimeData());
    addDroppedAssets(handler, ASSET_TYPE_NODE);
    addDroppedAssets(handler, ASSET_TYPE_MESH);
    addDroppedAssets(handler, ASSET_TYPE_MODEL);
    event->acceptProposedAction();
}

void RandomizerWidget::addDroppedAssets(const AssetsMimeDataHandler &handler, int type)
{
    if (!handler.hasAssets(type))
        return;
    const QVector<as::Asset> assets = handler.getAssets(type);
    for (const as::Asset &asset : assets) {
        if (asset.getNumRuntimes() < 1)
            continue;
        addRow()->asset->setGUID(asset.getRuntime(0).getGUID());
    }
}
