#include "editor/tools/impostor_grabber_window.h"

#include "ui_impostor_grabber_window.h"

#include "editor/tools/grab_parameters.h"
#include "editor/tools/grabber_tool.h"

#include <editor_core/EditorSettings.h>
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
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QShortcut>

const char *const ImpostorGrabberWindow::SETTINGS_FORM = "tools/impostor_creator";

namespace {

// Kind -> the word of its row and the variant radio that must be checked
// for it ("" for none).
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

// What the settings combos stand for, by index.
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

// A box over the main window that does not block the caller (the tool's
// signals come from inside the editor's frame update).
void showMessage(QMessageBox::Icon icon, const QString &text)
{
    auto *box = new QMessageBox(icon, ImpostorGrabberWindow::tr("Impostors Creator"), text, QMessageBox::Ok,
                                depr::gui.main_window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// While the dialog is up the main window takes no input but can still be
// closed, which asks whether to cancel the run: its parts are disabled,
// where a modal dialog would have the window system's close request (and
// Ctrl+Q) dropped without a word. Ctrl+Q reaches the main window from the
// dialog too.
void holdMainWindow(QWidget *main, QProgressDialog *dialog)
{
    if (!main)
        return;
    QList<QPointer<QWidget>> held;
    for (QObject *child : main->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (!widget || widget == dialog || !widget->isEnabled())
            continue;
        widget->setEnabled(false);
        held << widget;
    }
    QObject::connect(dialog, &QObject::destroyed, main, [held] {
        for (const QPointer<QWidget> &widget : held) {
            if (widget)
                widget->setEnabled(true);
        }
    });
    auto *quit = new QShortcut(QKeySequence(Qt::CTRL + Qt::Key_Q), dialog);
    quit->setContext(Qt::ApplicationShortcut);
    QObject::connect(quit, &QShortcut::activated, main, &QWidget::close);
}

// Wide enough for its title: window managers elide a title that does not
// fit beside their buttons, and a progress dialog sizes itself to its label.
void fitTitle(QWidget *window)
{
    QFont font = window->font();
    font.setBold(true);
    const int title = QFontMetrics(font).horizontalAdvance(window->windowTitle());
    // Room for a larger title font, the window menu icon and three title
    // bar buttons.
    const int decoration = 8 * QFontMetrics(font).height();
    window->setMinimumWidth(qMax(window->sizeHint().width(), title * 5 / 4 + decoration));
}

// The folder with its symbolic links resolved, ending with "/"; a folder
// that does not exist yet is resolved from its deepest existing ancestor.
QString resolvedFolder(const QString &folder)
{
    QString existing = fs::normalizePath(folder);
    QString rest;
    while (!existing.isEmpty() && !QFileInfo(existing).exists()) {
        const int slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            return fs::normalizeDirPath(folder);
        rest.prepend(existing.mid(slash));
        existing.truncate(slash);
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return fs::normalizeDirPath((canonical.isEmpty() ? existing : canonical) + rest);
}

} // namespace

QString ImpostorGrabberWindow::sameFolderInDataFolder(const QString &directory, const QString &data)
{
    // The data folder may be reached through a link, and a file dialog may
    // give the folder by its real path (or through a link inside the data
    // folder): the resolved paths decide, and the folder is then named as
    // the data folder names it, which is how its files become assets.
    const QString real_data = resolvedFolder(data);
    const QString real_folder = resolvedFolder(directory);
    if (!real_folder.startsWith(real_data))
        return QString();
    return fs::normalizeDirPath(data) + real_folder.mid(real_data.size());
}

ImpostorGrabberWindow::ImpostorGrabberWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_ImpostorGrabberWindow())
    , albedo_group_(new QButtonGroup)
    , normal_group_(new QButtonGroup)
    , translucence_group_(new QButtonGroup)
{
    ui->setupUi(this);

    // The form leaves the radios non-exclusive; the groups pair them.
    albedo_group_->addButton(ui->albedo_with_ssao);
    albedo_group_->addButton(ui->albedo_without_ssa);
    normal_group_->addButton(ui->normal_vegetation);
    normal_group_->addButton(ui->normal_simple);
    translucence_group_->addButton(ui->translucence_vegetation);
    translucence_group_->addButton(ui->translucence_simple);
    for (QButtonGroup *group : {albedo_group_, normal_group_, translucence_group_})
        group->setExclusive(true);

    // Lighting and bent normal are not offered here; their hidden check
    // boxes still count when something checks them.
    for (const char *word : {"lighting", "bent_normal"}) {
        auto *check = ui->textures_group->findChild<QCheckBox *>(QLatin1String(word));
        // The taken row's items are ours now: the widgets stay children of the
        // group, only the layout items go.
        const QFormLayout::TakeRowResult taken = ui->textures_layout->takeRow(check);
        delete taken.labelItem;
        delete taken.fieldItem;
        check->setChecked(false);
        check->hide();
        ui->textures_group->findChild<QWidget *>(QLatin1String(word) + QStringLiteral("_postfix"))->hide();
        ui->textures_group->findChild<QWidget *>(QLatin1String(word) + QStringLiteral("_ext"))->hide();
    }

    texture_check_boxes_ = ui->textures_group->findChildren<QCheckBox *>().toVector();
    for (QCheckBox *box : qAsConst(texture_check_boxes_))
        connect(box, &QCheckBox::toggled, this, &ImpostorGrabberWindow::updateCreateButton);
    if (Editor::Selection *selection = Editor::Selection::instance())
        connect(selection, &Editor::Selection::changed, this, &ImpostorGrabberWindow::updateCreateButton);
    connect(ui->create, &QPushButton::clicked, this, &ImpostorGrabberWindow::onCreateClicked);
    updateCreateButton();
}

ImpostorGrabberWindow::~ImpostorGrabberWindow()
{
    texture_check_boxes_.clear();
    delete albedo_group_;
    delete normal_group_;
    delete translucence_group_;
    delete ui;
}

QPushButton *ImpostorGrabberWindow::createButton() const
{
    return ui->create;
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
    ui->create->setEnabled(checked && hasGrabbableSelection());
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
    const auto *postfix = ui->textures_group->findChild<QLineEdit *>(word + QStringLiteral("_postfix"));
    const auto *format = ui->textures_group->findChild<QComboBox *>(word + QStringLiteral("_ext"));
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
    const QString folder = folderInDataFolder(directory);
    if (folder.isEmpty())
        return;
    auto *tool = makeTool(node, folder, name);
    if (!acceptSettings(tool, name) || !tool->prepare()) {
        delete tool;
        return;
    }
    runBehindProgress(tool);
}

QString ImpostorGrabberWindow::folderInDataFolder(const QString &directory) const
{
    // Textures outside the data folder cannot become assets: refuse before a
    // long grab instead of failing at its end.
    const QString data = fs::dataPath();
    if (data.isEmpty())
        return directory;
    const QString folder = sameFolderInDataFolder(directory, data);
    if (!folder.isEmpty())
        return folder;
    qWarning("Impostor creator: \"%s\" is outside the data folder \"%s\"; nothing is grabbed",
             directory.toUtf8().constData(), data.toUtf8().constData());
    showMessage(QMessageBox::Warning,
                tr("The impostor textures must be saved inside the project's data folder:\n%1")
                        .arg(QDir::toNativeSeparators(data)));
    return QString();
}

Impostors::GrabberTool *ImpostorGrabberWindow::makeTool(const Velmora::Ptr<Velmora::Node> &node,
                                                        const QString &directory, const QString &name)
{
    auto *tool = new Impostors::GrabberTool(this);
    tool->setSourceNode(node);
    Impostors::GrabberTool::Params &params = tool->params();
    params.output_directory = directory;
    params.resolution = valueAt(RESOLUTIONS, ui->resolution->currentIndex());
    params.supersampling = valueAt(SUPERSAMPLINGS, ui->supersampling->currentIndex());
    params.numPhi = valueAt(PHIS, ui->phi->currentIndex());
    params.numTheta = valueAt(THETAS, ui->theta->currentIndex());
    params.aspect = valueAt(ASPECTS, ui->aspect->currentIndex());
    params.padding = valueAt(PADDINGS, ui->padding->currentIndex());
    for (int kind = 0; kind < Impostors::NUM_TEXTURE_KINDS; ++kind) {
        const KindRow &row = KIND_ROWS[kind];
        const auto *check = ui->textures_group->findChild<QCheckBox *>(QLatin1String(row.word));
        if (!check || !check->isChecked())
            continue;
        if (*row.radio) {
            const auto *radio = ui->textures_group->findChild<QRadioButton *>(QLatin1String(row.radio));
            if (!radio || !radio->isChecked())
                continue;
        }
        tool->setTextureFile(kind, textureFileName(name, QLatin1String(row.word)));
    }
    return tool;
}

bool ImpostorGrabberWindow::acceptSettings(Impostors::GrabberTool *tool, const QString &name) const
{
    const QString reason = tool->checkSettings();
    if (!reason.isEmpty()) {
        showMessage(QMessageBox::Warning,
                    tr("The impostor cannot be grabbed with these settings: %1.\n\n"
                       "Choose a lower resolution or less supersampling.")
                            .arg(reason));
        return false;
    }
    const QStringList existing = tool->existingFiles();
    if (existing.isEmpty())
        return true;
    QStringList shown;
    for (const QString &path : existing)
        shown << QDir::toNativeSeparators(fs::relDataPath(path));
    const QMessageBox::StandardButton answer = QMessageBox::question(
            depr::gui.main_window, tr("Impostors Creator"),
            tr("An impostor named \"%1\" exists already; these files would be replaced:\n\n%2\n\n"
               "Replace its textures and update its material?")
                    .arg(name, shown.join(QLatin1Char('\n'))),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return false;
    tool->setReplaceExisting(true);
    return true;
}

bool ImpostorGrabberWindow::isCreating() const
{
    return progress_ && progress_->isVisible();
}

void ImpostorGrabberWindow::cancelCreating()
{
    if (isCreating())
        emit progress_->canceled();
}

void ImpostorGrabberWindow::runBehindProgress(Impostors::GrabberTool *tool)
{
    auto *dialog = new QProgressDialog(depr::gui.main_window);
    dialog->setWindowTitle(tr("Impostor Creator"));
    dialog->setWindowFlags(dialog->windowFlags() & ~Qt::WindowContextHelpButtonHint);
    dialog->setLabelText(tr("Grabbing Impostor Textures..."));
    fitTitle(dialog);
    holdMainWindow(depr::gui.main_window, dialog);
    dialog->show();
    progress_ = dialog;
    QPointer<QProgressDialog> dialog_guard(dialog);
    QPointer<Impostors::GrabberTool> tool_guard(tool);
    // Queued: a modal progress dialog runs the event loop inside setValue,
    // which must not happen inside the frame that reports.
    connect(
            tool, &Impostors::GrabberTool::progress, dialog,
            [dialog](float value) { dialog->setValue(int(value * 100.0f)); }, Qt::QueuedConnection);
    connect(dialog, &QProgressDialog::canceled, this, [tool_guard, dialog_guard]() {
        if (tool_guard) {
            tool_guard->cancel();
            const QString kept = tool_guard->cancelMessage();
            tool_guard->deleteLater();
            if (!kept.isEmpty())
                showMessage(QMessageBox::Information, kept);
        }
        if (dialog_guard) {
            dialog_guard->hide();
            dialog_guard->deleteLater();
        }
    });
    connect(tool, &Impostors::GrabberTool::finished, this, [tool]() {
        const QString problems = tool->resultMessage();
        if (!problems.isEmpty())
            showMessage(QMessageBox::Warning, problems);
    });
    connect(tool, &Impostors::GrabberTool::finished, dialog, &QObject::deleteLater);
    connect(tool, &Impostors::GrabberTool::finished, tool, &QObject::deleteLater);
    tool->start();
}
