#include "editor/tools/impostor_grabber_window.h"

#include "editor/tools/grab_parameters.h"
#include "editor/tools/grabber_tool.h"

#include <editor_core/CheckBox.h>
#include <editor_core/ComboBox.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/LabelFieldLayout.h>
#include <editor_core/View.h>
#include <editor_core/as/Presenter.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/Selection.h>
#include <editor_core/fs/FileSystem.h>

#include <velmora/Object.h>
#include <velmora/World.h>

#include <QButtonGroup>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QVBoxLayout>

const char *const ImpostorGrabberWindow::SETTINGS_FORM = "tools/impostor_creator";

namespace {

struct Row
{
    const char *word;
    const char *label;
    const char *postfix;
    bool dds_only;
    bool checked;
    const char *check_tip; // "" for none
    const char *postfix_tip;
};

// The rows of the texture group, top to bottom.
const Row ROWS[] = {
        {"final", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Final Image"), "_final", false, false,
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Enables generation of the final image (model as is) for the impostor.</p>"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Postfix for the final image name.</p>")},
        {"lighting", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Lighting"), "_lighting", true, false,
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Enables generation of the lighting texture for the impostor.</p>"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Postfix for the lighting texture name.</p>")},
        {"albedo", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Albedo"), "_alb", false, true,
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Enables generation of the albedo texture for the impostor.</p>"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Postfix for the albedo texture name.</p>")},
        {"normal", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Normal"), "_n", false, true, "",
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Postfix for the normals texture name.</p>")},
        {"bent_normal", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Bent Normal"), "_bent_n", false, false,
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Enables generation of the bent normal texture for the impostor.</p>"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Postfix for the bent normals texture name.</p>")},
        {"shading", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Shading"), "_sh", false, true,
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Enables generation of the shading texture for the impostor.</p>"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Postfix for the shading texture name.</p>")},
        {"ao", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Baked AO"), "_baked_ao", false, false,
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Enables generation of the baked AO texture for the impostor.</p>"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Postfix for the baked ambient occlusion texture name.</p>")},
        {"ssao", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "SSAO"), "_ao", false, false,
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Enables generation of the SSAO texture (not ray-traced SSAO)  for the impostor.</p>"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Postfix for the SSAO (not ray-traced SSAO) texture name.</p><p><b>Notice:</b> <em>SSAO "
                           "texture is automatically applied in the material if there is no baked AO "
                           "texture.</em></p>")},
        {"translucence", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Translucence"), "_t", false, true,
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Enables generation of the translucence texture for the impostor.</p>"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Postfix for the translucence texture name.</p>")},
        {"depth", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Depth"), "_depth", true, false, "", ""},
};

struct Variant
{
    const char *row; // the row the radios sit under
    const char *first; // object name, text, tooltip
    const char *first_text;
    const char *first_tip;
    const char *second;
    const char *second_text;
    const char *second_tip;
};

const Variant VARIANTS[] = {
        {"albedo", "albedo_with_ssao", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "With SSAO"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Grabbed albedo texture stores color values multiplied by the SSAO "
                           "coefficient.</p><p>Makes it possible to improve the relief effect of the impostor.</p>"),
         "albedo_without_ssa", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Without SSAO"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Grabbed albedo texture simply stores color values from the albedo buffer.</p><p>When "
                           "selected, generated impostors look brighter.</p>")},
        {"normal", "normal_vegetation", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "For Vegetation"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Grabbed normal texture will look rounded (i.e. it differs from the normal data stored "
                           "in the normal buffer).</p>"),
         "normal_simple", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "For Other Objects"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Grabbed normal texture simply stores values from the normal buffer.</p>")},
        {"translucence", "translucence_vegetation", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "For Vegetation"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Grabbed translucence texture stores information on vegetation translucence. It "
                           "imitates translucency of a tree crown at the edges.</p>"),
         "translucence_simple", QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "For Other Objects"),
         QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                           "<p>Grabbed translucence texture simply stores data from the translucence buffer.</p>")},
};

// Kind -> row word and the radio that must be checked for it ("" for none).
struct KindRow
{
    const char *word;
    const char *radio;
};
const KindRow KIND_ROWS[Impostors::NUM_TEXTURE_KINDS] = {
        {"final", ""},
        {"lighting", ""},
        {"albedo", "albedo_without_ssa"},
        {"albedo", "albedo_with_ssao"},
        {"normal", "normal_simple"},
        {"normal", "normal_vegetation"},
        {"bent_normal", ""},
        {"shading", ""},
        {"ao", ""},
        {"ssao", ""},
        {"translucence", "translucence_simple"},
        {"translucence", "translucence_vegetation"},
        {"depth", ""},
};

struct Setting
{
    const char *name;
    const char *label;
    const char *tip;
    QVector<const char *> items;
    int default_index;
    int row;
    int column;
};

const int RESOLUTIONS[] = {32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384};
const int SUPERSAMPLINGS[] = {1, 2, 4, 8};
const float ASPECTS[] = {0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
const int PHIS[] = {4, 8, 16, 32, 64};
const int THETAS[] = {1, 2, 4, 8, 16};
const int PADDINGS[] = {8, 16, 32, 64, 128, 256};

// An object, or a node whose children or referenced content hold one.
bool holdsObject(const Velmora::Ptr<Velmora::Node> &node)
{
    if (!node)
        return false;
    if (dynamic_cast<const Velmora::Object *>(node.get()))
        return true;
    if (node->getType() == Velmora::Node::NODE_REFERENCE
        && holdsObject(static_cast<const Velmora::NodeReference *>(node.get())->getReference()))
        return true;
    for (int i = 0; i < node->getNumChildren(); ++i) {
        if (holdsObject(node->getChild(i)))
            return true;
    }
    return false;
}

template<typename T, int N>
T valueAt(const T (&table)[N], int index)
{
    return table[qBound(0, index, N - 1)];
}

const char *const ASPECT_TIP = QT_TRANSLATE_NOOP(
        "ImpostorGrabberWindow",
        "<p>Aspect ratio (width/height) of the grabbed textures.</p><p>This parameter affects the size of the impostor "
        "texture cell that stores each grabbed frame.</p><p><ul><li>If you grab impostors for an object having its "
        "height significantly greater than width (e.g. pine tree, lamp post, etc.), use <b>4/1</b> "
        "aspect.</li><li>Vice versa, for horizontal objects (e.g. fallen pine tree) the value of <b>1/4</b>  should "
        "be used.</li><li>If the original object's width and height are almost the same (e.g. spherical or "
        "cuboid-shaped objects), use the aspect of <b>1/1</b>.</li></ul></p>");

} // namespace

ImpostorGrabberWindow::ImpostorGrabberWindow(QWidget *parent)
    : QWidget(parent)
    , albedo_group_(new QButtonGroup)
    , normal_group_(new QButtonGroup)
    , translucence_group_(new QButtonGroup)
{
    buildForm();

    QButtonGroup *groups[] = {albedo_group_, normal_group_, translucence_group_};
    for (int i = 0; i < 3; ++i) {
        groups[i]->addButton(findChild<QRadioButton *>(QLatin1String(VARIANTS[i].first)));
        groups[i]->addButton(findChild<QRadioButton *>(QLatin1String(VARIANTS[i].second)));
        groups[i]->setExclusive(true);
    }

    // Lighting and bent normal are not offered here; their hidden check
    // boxes still count when something checks them.
    auto *layout = findChild<LabelFieldLayout *>(QStringLiteral("textures_layout"));
    for (const char *word : {"lighting", "bent_normal"}) {
        auto *check = findChild<QCheckBox *>(QLatin1String(word));
        // The taken row's items are ours now: the widgets stay children of the
        // group, only the layout items go.
        const QFormLayout::TakeRowResult taken = layout->takeRow(check);
        delete taken.labelItem;
        delete taken.fieldItem;
        check->setChecked(false);
        check->hide();
        findChild<QWidget *>(QLatin1String(word) + QStringLiteral("_postfix"))->hide();
        findChild<QWidget *>(QLatin1String(word) + QStringLiteral("_ext"))->hide();
    }

    const auto boxes = findChild<QGroupBox *>(QStringLiteral("textures_group"))->findChildren<QCheckBox *>();
    texture_check_boxes_ = boxes.toVector();
    for (QCheckBox *box : qAsConst(texture_check_boxes_))
        connect(box, &QCheckBox::toggled, this, &ImpostorGrabberWindow::updateCreateButton);
    if (Editor::Selection *selection = Editor::Selection::instance())
        connect(selection, &Editor::Selection::changed, this, &ImpostorGrabberWindow::updateCreateButton);
    connect(create_, &QPushButton::clicked, this, &ImpostorGrabberWindow::onCreateClicked);
    updateCreateButton();
}

ImpostorGrabberWindow::~ImpostorGrabberWindow()
{
    texture_check_boxes_.clear();
    delete albedo_group_;
    delete normal_group_;
    delete translucence_group_;
}

void ImpostorGrabberWindow::buildForm()
{
    setObjectName(QStringLiteral("ImpostorGrabberWindow"));
    resize(334, 500);
    setWindowTitle(tr("Impostors Creator"));
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrollArea"));
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFrameShape(QFrame::NoFrame);
    auto *contents = new QWidget;
    contents->setObjectName(QStringLiteral("scrollAreaWidgetContents_3"));
    contents->setGeometry(0, 0, 300, 500);
    auto *column = new QVBoxLayout(contents);
    column->setObjectName(QStringLiteral("verticalLayout"));
    column->setContentsMargins(0, 0, 0, 0);

    auto *textures = new QGroupBox(tr("Textures"), contents);
    textures->setObjectName(QStringLiteral("textures_group"));
    auto *rows = new LabelFieldLayout(textures);
    rows->setObjectName(QStringLiteral("textures_layout"));
    rows->setHorizontalSpacing(6);
    rows->setContentsMargins(6, 6, 6, 6);
    for (const Row &row : ROWS) {
        const QString word = QLatin1String(row.word);
        auto *check = new CheckBox(tr(row.label), textures);
        check->setObjectName(word);
        check->setChecked(row.checked);
        if (*row.check_tip)
            check->setToolTip(tr(row.check_tip));
        auto *postfix = new QLineEdit(QLatin1String(row.postfix), textures);
        postfix->setObjectName(word + QStringLiteral("_postfix"));
        if (*row.postfix_tip)
            postfix->setToolTip(tr(row.postfix_tip));
        auto *format = new ComboBox(textures);
        format->setObjectName(word + QStringLiteral("_ext"));
        format->setToolTip(tr("Texture file format"));
        if (row.dds_only)
            format->addItem(QStringLiteral(".dds"));
        else
            format->addItems(
                    {QStringLiteral(".tga"), QStringLiteral(".png"), QStringLiteral(".dds"), QStringLiteral(".psd")});
        auto *field = new QHBoxLayout;
        field->setSpacing(4);
        field->addWidget(postfix, 1);
        field->addWidget(format);
        rows->addLabelField(check, field);
        for (const Variant &variant : VARIANTS) {
            if (qstrcmp(variant.row, row.word) != 0)
                continue;
            // The radios span the row, indented under their check box, so
            // that the narrow window does not need to scroll sideways.
            auto *holder = new QWidget(textures);
            auto *radios = new QVBoxLayout(holder);
            radios->setContentsMargins(20, 0, 0, 0);
            const char *names[] = {variant.first, variant.second};
            const char *texts[] = {variant.first_text, variant.second_text};
            const char *tips[] = {variant.first_tip, variant.second_tip};
            for (int i = 0; i < 2; ++i) {
                auto *radio = new QRadioButton(tr(texts[i]), holder);
                radio->setObjectName(QLatin1String(names[i]));
                radio->setAutoExclusive(false);
                radio->setToolTip(tr(tips[i]));
                radio->setChecked(i == 0);
                radios->addWidget(radio);
            }
            rows->addFullRow(holder);
        }
    }
    column->addWidget(textures);

    auto *settings = new QGroupBox(tr("Settings"), contents);
    settings->setObjectName(QStringLiteral("settings_group"));
    auto *grid = new QGridLayout(settings);
    grid->setObjectName(QStringLiteral("gridLayout"));
    const Setting SETTINGS[] = {
            {"resolution",
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Resolution"),
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "<p>Resolution of the grabbed texture.</p>"),
             {"32", "64", "128", "256", "512", "1024", "2048", "4096", "8192", "16384"},
             7,
             0,
             0},
            {"supersampling",
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Supersampling"),
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                               "<p>Number of samples per pixel used for supersampling.</p><p>Grabbed image is "
                               "rendered in higher resolution (<em>N</em> times bigger) and than downsampled to the "
                               "specified size. <em>Higher</em> values provide better aliasing reduction.</p>"),
             {"1x", "2x", "4x", "8x"},
             2,
             1,
             0},
            {"aspect",
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Aspect"),
             ASPECT_TIP,
             {"1/4", "1/2", "1/1", "2/1", "4/1"},
             2,
             2,
             0},
            {"phi",
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Phi"),
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                               "<p>Number of frames to be grabbed into the impostor texture, when the camera rotates "
                               "horizontally around the object.</p>"),
             {"4", "8", "16", "32", "64"},
             1,
             0,
             2},
            {"theta",
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Theta"),
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                               "<p>Number of frames to be grabbed into the impostor texture, when the camera rotates "
                               "vertically around the object.</p>"),
             {"1", "2", "4", "8", "16"},
             2,
             1,
             2},
            {"padding",
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow", "Padding"),
             QT_TRANSLATE_NOOP("ImpostorGrabberWindow",
                               "<p>Texture padding.</p><p>The recommended value is <b>256</b>.</p>"),
             {"8", "16", "32", "64", "128", "256"},
             1,
             2,
             2},
    };
    for (const Setting &setting : SETTINGS) {
        auto *label = new QLabel(tr(setting.label), settings);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        auto *combo = new ComboBox(settings);
        combo->setObjectName(QLatin1String(setting.name));
        combo->setToolTip(tr(setting.tip));
        for (const char *item : setting.items)
            combo->addItem(QLatin1String(item));
        combo->setCurrentIndex(setting.default_index);
        // Two columns of pairs do not fit the narrow window: the second
        // column's pairs go below the first's.
        grid->addWidget(label, setting.row + setting.column / 2 * 3, 0);
        grid->addWidget(combo, setting.row + setting.column / 2 * 3, 1);
    }
    grid->setColumnStretch(1, 1);
    column->addWidget(settings);

    create_ = new QPushButton(tr("Create"), contents);
    create_->setObjectName(QStringLiteral("create"));
    create_->setToolTip(tr("<p>Create impostor for the selected object.</p>"));
    column->addWidget(create_);
    column->addStretch(1);

    // Combos may shrink to a few characters: the window is narrow.
    for (QComboBox *combo : contents->findChildren<QComboBox *>()) {
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->setMinimumContentsLength(3);
    }
    scroll->setWidget(contents);
    outer->addWidget(scroll);
}

void ImpostorGrabberWindow::restoreSettings(EditorSettings *settings)
{
    settings->restoreForm(QString::fromLatin1(SETTINGS_FORM), this);
    updateCreateButton();
}

void ImpostorGrabberWindow::saveSettings(EditorSettings *settings)
{
    settings->saveForm(QString::fromLatin1(SETTINGS_FORM), this);
}

void ImpostorGrabberWindow::updateCreateButton()
{
    bool checked = false;
    for (QCheckBox *box : qAsConst(texture_check_boxes_))
        checked = checked || box->isChecked();
    create_->setEnabled(checked && hasGrabbableSelection());
}

bool ImpostorGrabberWindow::hasGrabbableSelection() const
{
    const Velmora::Ptr<Velmora::Node> node = selectedNode();
    if (!holdsObject(node))
        return false;
    Velmora::World::updateSpatial();
    return node->getWorldBoundSphere().getRadius() > 1e-6f;
}

Velmora::Ptr<Velmora::Node> ImpostorGrabberWindow::selectedNode() const
{
    const Editor::SelectorNodes *selector = Editor::Selection::getSelectorNodes();
    if (!selector)
        return Velmora::Ptr<Velmora::Node>();
    const Velmora::Vector<Velmora::Ptr<Velmora::Node>> nodes = selector->getNodes();
    return nodes.size() == 1 ? nodes[0] : Velmora::Ptr<Velmora::Node>();
}

void ImpostorGrabberWindow::onCreateClicked()
{
    if (!depr::g.asset_presenter)
        return;
    QPointer<ImpostorGrabberWindow> self(this);
    depr::g.asset_presenter->showSaveDialog([self](const QString &path) {
        if (self && !path.isEmpty())
            self->onSavePathChosen(path);
    });
}

void ImpostorGrabberWindow::onSavePathChosen(const QString &path)
{
    onCreate(fs::pathname(path), fs::setExtension(fs::basename(path), QString()));
}

QString ImpostorGrabberWindow::textureFileName(const QString &name, const QString &word) const
{
    const auto *group = findChild<QGroupBox *>(QStringLiteral("textures_group"));
    const auto *postfix = group->findChild<QLineEdit *>(word + QStringLiteral("_postfix"));
    const auto *format = group->findChild<QComboBox *>(word + QStringLiteral("_ext"));
    if (!postfix || !format)
        return QString();
    return name + postfix->text().trimmed() + format->currentText();
}

void ImpostorGrabberWindow::onCreate(const QString &directory, const QString &name)
{
    if (name.isEmpty()) {
        base::printAssertMessage("!name.isEmpty()", __FILE__, __LINE__);
        return;
    }
    const Velmora::Ptr<Velmora::Node> node = selectedNode();
    if (!holdsObject(node))
        return;
    // Textures outside the data folder cannot become assets: refuse before a
    // long grab instead of failing at its end.
    const QString data = fs::dataPath();
    if (!data.isEmpty() && !fs::normalizeDirPath(directory).startsWith(data)) {
        qWarning("Impostor creator: \"%s\" is outside the data folder \"%s\"; nothing is grabbed",
                 directory.toUtf8().constData(), data.toUtf8().constData());
        auto *box = new QMessageBox(QMessageBox::Warning, tr("Impostors Creator"),
                                    tr("The impostor textures must be saved inside the project's data folder:\n%1")
                                            .arg(QDir::toNativeSeparators(data)),
                                    QMessageBox::Ok, depr::gui.main_window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    auto index = [this](const char *combo) { return findChild<QComboBox *>(QLatin1String(combo))->currentIndex(); };

    auto *tool = new Impostors::GrabberTool(this);
    tool->setSourceNode(node);
    Impostors::GrabberTool::Params &params = tool->params();
    params.output_directory = directory;
    params.resolution = valueAt(RESOLUTIONS, index("resolution"));
    params.supersampling = valueAt(SUPERSAMPLINGS, index("supersampling"));
    params.numPhi = valueAt(PHIS, index("phi"));
    params.numTheta = valueAt(THETAS, index("theta"));
    params.aspect = valueAt(ASPECTS, index("aspect"));
    params.padding = valueAt(PADDINGS, index("padding"));
    for (int kind = 0; kind < Impostors::NUM_TEXTURE_KINDS; ++kind) {
        const KindRow &row = KIND_ROWS[kind];
        const auto *check = findChild<QCheckBox *>(QLatin1String(row.word));
        if (!check || !check->isChecked())
            continue;
        if (*row.radio) {
            const auto *radio = findChild<QRadioButton *>(QLatin1String(row.radio));
            if (!radio || !radio->isChecked())
                continue;
        }
        tool->setTextureFile(kind, textureFileName(name, QLatin1String(row.word)));
    }
    if (!tool->prepare()) {
        delete tool;
        return;
    }

    auto *dialog = new QProgressDialog(depr::gui.main_window);
    dialog->setWindowTitle(tr("Impostor Creator"));
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
    dialog->setLabelText(tr("Grabbing Impostor Textures..."));
    dialog->open();
    QPointer<QProgressDialog> dialog_guard(dialog);
    QPointer<Impostors::GrabberTool> tool_guard(tool);
    // Queued: a window-modal progress dialog runs the event loop inside
    // setValue, which must not happen inside the frame that reports.
    connect(
            tool, &Impostors::GrabberTool::progress, dialog,
            [dialog](float value) { dialog->setValue(int(value * 100.0f)); }, Qt::QueuedConnection);
    connect(dialog, &QProgressDialog::canceled, this, [tool_guard, dialog_guard]() {
        if (tool_guard) {
            tool_guard->cancel();
            tool_guard->deleteLater();
        }
        if (dialog_guard) {
            dialog_guard->hide();
            dialog_guard->deleteLater();
        }
    });
    connect(tool, &Impostors::GrabberTool::finished, dialog, &QObject::deleteLater);
    connect(tool, &Impostors::GrabberTool::finished, tool, &QObject::deleteLater);
    tool->start();
}
