#include "editor/assembly/ui/build_window.h"

#include "core/base/widgets/lazy_scroll_area.h"
#include "editor/assembly/core/engine_info.h"
#include "editor/assembly/core/path_utils.h"
#include "editor/assembly/ui/assembly_file_name_validator.h"
#include "editor/assembly/ui/build_folder_check.h"
#include "editor/assembly/ui/combo_box_with_checkboxes.h"
#include "editor/assembly/ui/copy_rules_widget.h"
#include "editor/assembly/ui/executable_file_filter_proxy_model.h"
#include "editor/assembly/ui/png_drag_and_drop_delegate.h"

#include <editor_core/AccordionWidget.h>
#include <editor_core/AssetType.h>
#include <editor_core/AssetWidget.h>
#include <editor_core/Dialogs.h>
#include <editor_core/ElidedLabel.h>
#include <editor_core/LabelFieldLayout.h>
#include <editor_core/ResettableWidget.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace assembly {

namespace {

const char *const CREATE_BUTTON_STYLE
        = "QPushButton { background-color: #60843d; min-width : 120px; }"
          "QPushButton:default:hover { background-color: #8cb663; }"
          "QPushButton:disabled { background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #4D4F51, stop:1 "
          "#4B4C4E); color: #37383A; } "
          "QPushButton:hover { background-color: #8cb663; }"
          "QPushButton:checked { background-color: #1f2b14; }"
          "QPushButton:pressed { background-color: #1f2b14; }";

const int ARGUMENTS_MAX_HEIGHT = 80;
const int PREFERRED_WIDTH = 460;
// Narrower, the form's fields no longer show their values.
const int MINIMUM_WIDTH = 400;

QToolButton *makeLoadButton(QWidget *parent)
{
    auto button = new QToolButton(parent);
    QIcon icon(QStringLiteral(":/images/action_load.png"));
    if (icon.availableSizes().isEmpty())
        icon = parent->style()->standardIcon(QStyle::SP_DirOpenIcon);
    button->setIcon(icon);
    // The button's own size (a tool button's is fixed): the icon whole
    // within the style's padding.
    button->setIconSize(QSize(16, 16));
    button->setCheckable(false);
    button->setAutoRaise(true);
    return button;
}

} // namespace

Window::Window(QWidget *parent)
    : QWidget(parent)
{
    // The argument types of the signals, for queued connections and spies.
    qRegisterMetaType<CopyRuleList>("assembly::CopyRuleList");
    qRegisterMetaType<Launcher>("assembly::Launcher");
    qRegisterMetaType<BuildConfiguration>("assembly::BuildConfiguration");
    qRegisterMetaType<Precision>("assembly::Precision");
    qRegisterMetaType<VideoDebug>("assembly::VideoDebug");
    qRegisterMetaType<Binary>("assembly::Binary");
    Velmora::registerGUIDMetaTypes();
    setObjectName(QStringLiteral("AssemblyWindow"));
    setWindowTitle(tr("Create Build"));
    setMinimumWidth(MINIMUM_WIDTH);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // The sections scroll when the dock is shorter than the form; the
    // "Create Build" button below them stays in view. In a taller dock the
    // area is no higher than the sections, so the button follows them and
    // the trailing stretch takes the rest.
    auto scroll = new base::LazyScrollArea(this);
    scroll_ = scroll;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sections_ = new AccordionWidget(scroll);
    scroll->setWidget(sections_);
    layout->addWidget(scroll, 1);

    buildCommonSection();
    buildLauncherSection();

    copy_rules_ = new CopyRulesWidget(sections_);
    copy_rules_->setObjectName(QStringLiteral("copy_rules"));
    sections_->addSection(tr("Copy User Files"), copy_rules_);
    // After the section's header, where a section puts the contents it is given.
    copy_rules_->raise();
    connect(copy_rules_, &CopyRulesWidget::dataChanged, this,
            [this]() { emit copyRulesChanged(copy_rules_->rules()); });

    auto button_row = new QHBoxLayout;
    button_row->addStretch();
    create_button_ = new QPushButton(tr("Create Build"), this);
    create_button_->setObjectName(QStringLiteral("create_build"));
    create_button_->setStyleSheet(QLatin1String(CREATE_BUTTON_STYLE));
    button_row->addWidget(create_button_);
    button_row->addStretch();
    layout->addLayout(button_row);
    // Without a stretch factor of its own it takes only what the area, which
    // has one, leaves once it holds all sections.
    layout->addStretch();
    connect(create_button_, &QPushButton::clicked, this, &Window::startBuild);
    // Sections open, close and change size: the area follows.
    sections_->installEventFilter(this);

    // Scrolling the form over a combo box must not change its value: a combo
    // takes the wheel only once it has the focus.
    const QList<QComboBox *> combos = findChildren<QComboBox *>();
    for (QComboBox *combo : combos) {
        combo->setFocusPolicy(Qt::StrongFocus);
        combo->installEventFilter(this);
    }
}

bool Window::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == sections_ && event->type() == QEvent::LayoutRequest && isVisible())
        fitScrollToSections();
    if (event->type() == QEvent::Wheel) {
        auto combo = qobject_cast<QComboBox *>(watched);
        if (combo && !combo->hasFocus()) {
            QCoreApplication::sendEvent(scroll_->verticalScrollBar(), event);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Window::fitScrollToSections()
{
    scroll_->setMaximumHeight(sections_->sizeHint().height() + 2 * scroll_->frameWidth());
}

void Window::showEvent(QShowEvent *event)
{
    // Measured when first needed, not while a hidden window is made.
    fitScrollToSections();
    QWidget::showEvent(event);
}

Window::~Window()
{
    // The name field, when it has the focus, reports the end of its edit
    // while the base class deletes it, after this window's own parts are
    // gone. Edits still in the field are committed by the owner's
    // commitPendingEdits before the window goes.
    disconnect(project_name_, nullptr, this, nullptr);
}

ElidedLabel *Window::makeLabel(QWidget *page, const QString &text)
{
    auto label = new ElidedLabel(text, page);
    // The label column is as wide as its texts, and they elide only when the
    // window gets narrower than that.
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    return label;
}

QSize Window::sizeHint() const
{
    return QSize(PREFERRED_WIDTH, QWidget::sizeHint().height());
}

// A row's field is made on its section's page before its label; raised, it
// follows the label among the page's children, as the layout would have put
// them had they come from elsewhere.
Window::Row Window::addRow(LabelFieldLayout *layout, const QString &label, QWidget *field, const QString &tooltip)
{
    auto label_widget = makeLabel(layout->parentWidget(), label);
    field->raise();
    if (!tooltip.isEmpty()) {
        label_widget->setToolTip(tooltip);
        field->setToolTip(tooltip);
    }
    const Row row{layout, layout->addLabelField(label_widget, field)};
    // A combo box makes its popup list with its row: the list then follows
    // the combo box's enabled state from the start.
    if (auto combo = qobject_cast<QComboBox *>(field))
        combo->view();
    return row;
}

QComboBox *Window::addCombo(QWidget *page, const QString &object_name, const QVector<QPair<QString, int>> &items)
{
    auto combo = new QComboBox(page);
    combo->setObjectName(object_name);
    for (const auto &item : items)
        combo->addItem(item.first, item.second);
    return combo;
}

QCheckBox *Window::addCheckBox(QWidget *page, const QString &object_name)
{
    auto box = new QCheckBox(page);
    box->setObjectName(object_name);
    box->setTristate(false);
    return box;
}

QLineEdit *Window::addPathSelector(LabelFieldLayout *layout, const QString &label, const QString &object_name,
                                   const QString &tooltip, QToolButton **button, Row *row)
{
    auto holder = new QWidget(layout->parentWidget());
    auto line_row = new QHBoxLayout(holder);
    line_row->setContentsMargins(0, 0, 0, 0);
    auto line = new QLineEdit(holder);
    line->setObjectName(object_name);
    line->setReadOnly(true);
    line->setPlaceholderText(tr("None"));
    line_row->addWidget(line, 1);
    *button = makeLoadButton(holder);
    (*button)->setObjectName(object_name + QStringLiteral("_button"));
    line_row->addWidget(*button);
    auto label_widget = makeLabel(layout->parentWidget(), label);
    holder->raise();
    label_widget->setToolTip(tooltip);
    *row = Row{layout, layout->addLabelField(label_widget, holder)};
    return line;
}

void Window::connectCombo(QComboBox *combo, void (Window::*emitter)(int))
{
    connect(combo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, [this, combo, emitter](int index) {
        if (index >= 0)
            (this->*emitter)(combo->itemData(index).toInt());
    });
}

void Window::buildCommonSection()
{
    // Every widget of a section is made on its page: moved there, it would be
    // restyled a second time under the style sheet.
    common_layout_ = new LabelFieldLayout;
    QWidget *page = sections_->sectionContent(sections_->addSection(tr("Common Settings"), common_layout_));

    build_type_ = addCombo(page, QStringLiteral("build_type"),
                           {{tr("Release"), int(BuildConfiguration::Release)},
                            {tr("Development"), int(BuildConfiguration::Development)}});
    addRow(common_layout_, tr("Build Type"), build_type_,
           tr("<p>Type of the build that defines which binaries are copied:<ul><li><b>Release</b> — optimized "
              "binaries without any additional debug info.</li><li>For the <b>Development</b> build, two types of "
              "binaries are copied:<ul><li><em>development</em> — optimized,  with Microprofile enabled</li>"
              "<li><em>debug</em> — unoptimized, with debug information available</li></ul></li></ul></p>"));
    connectCombo(build_type_, &Window::emitConfiguration);

    project_name_ = new QLineEdit(page);
    project_name_->setObjectName(QStringLiteral("project_name"));
    project_name_->setValidator(new AssemblyFileNameValidator(project_name_));
    addRow(common_layout_, tr("Project Name"), project_name_, tr("Name of the output executable (or .bat/.sh file)"));
    connect(project_name_, &QLineEdit::editingFinished, this, [this]() {
        sent_name_ = project_name_->text();
        emit projectNameChanged(sent_name_);
    });

    auto folder_holder = new QWidget(page);
    auto folder_row = new QHBoxLayout(folder_holder);
    folder_row->setContentsMargins(0, 0, 0, 0);
    build_folder_ = new QLineEdit(folder_holder);
    build_folder_->setObjectName(QStringLiteral("build_folder"));
    build_folder_->setReadOnly(true);
    // Set only through the folder button: empty, it reads as the form's
    // other chosen values do.
    build_folder_->setPlaceholderText(tr("None"));
    folder_row->addWidget(build_folder_, 1);
    QToolButton *folder_button = makeLoadButton(folder_holder);
    folder_button->setObjectName(QStringLiteral("build_folder_button"));
    folder_row->addWidget(folder_button);
    const QString folder_tip = tr(
            "<p>Path to the output folder where the build is going to be stored.</p><p><b>Notice</b>: "
            "<ul><li><em>Build "
            "folder shouldn't be inside your project's folder, as it may significantly increase its size.</em></li>"
            "<li><em>Build folder should be empty; otherwise, its contents will be deleted.</em></li></ul></p>");
    addRow(common_layout_, tr("Build Folder"), folder_holder, folder_tip);
    build_folder_->setToolTip(folder_tip);
    connect(folder_button, &QToolButton::clicked, this, &Window::chooseOutputPath);

    start_world_ = new AssetWidget(page);
    start_world_->setObjectName(QStringLiteral("default_world"));
    start_world_->setAssetType(AssetType::WORLD);
    addRow(common_layout_, tr("Default World"), start_world_,
           tr("<p>World to be loaded when the application is started.</p><p>If no world is selected, a black screen "
              "would be displayed when running the application.</p>"));
    connect(start_world_, &AssetWidget::guidChanged, this, &Window::startWorldChanged);

    precision_ = addCombo(page, QStringLiteral("precision"),
                          {{tr("Float"), int(Precision::Float)}, {tr("Double"), int(Precision::Double)}});
    precision_row_ = addRow(common_layout_, tr("Precision"), precision_);
    connectCombo(precision_, &Window::emitPrecision);

    precompile_ = addCheckBox(page, QStringLiteral("precompile_shaders"));
    addRow(common_layout_, tr("Precompile Shaders"), precompile_,
           tr("<p>Generate shaders for the current Video API.</p><p>Shader cache increases performance and reduces "
              "spikes and freezes in the application, which makes it very important for the release build.</p><p>If "
              "shaders have already been precompiled, enabling this option won't affect the build time.</p>"));
    connect(precompile_, &QCheckBox::clicked, this, &Window::precompileShadersChanged);
}

void Window::buildLauncherSection()
{
    launcher_layout_ = new LabelFieldLayout;
    QWidget *page = sections_->sectionContent(sections_->addSection(tr("Launcher Default Settings"), launcher_layout_));

    // The script launcher is a shell script on Linux; the item's value is the
    // same on every system.
    const QString script_text = getCurrentSystem() == System::Linux ? tr(".sh") : tr(".bat");
    launcher_ = addCombo(page, QStringLiteral("launcher_type"),
                         {{tr("Gui Based"), int(Launcher::BinaryFile)}, {script_text, int(Launcher::ScriptFile)}});
    addRow(launcher_layout_, tr("Type"), launcher_,
           tr("<p>Launcher type:<ul><li><b>GUI-based</b> — executable file with the &lt;project_name&gt; is created. "
              "Running this file opens the GUI with the default launcher settings.</li><li><b>Script</b> — "
              "&lt;project_name&gt;.bat file (or .sh for Linux) containing the default launcher settings is "
              "created.</li></ul></p>"));
    connectCombo(launcher_, &Window::emitLauncher);

    banner_ = new AssetWidget(this);
    banner_->setObjectName(QStringLiteral("banner"));
    banner_->setAssetType(AssetType::IMAGE);
    banner_->setPostfix(tr("(.png only)"));
    banner_->setDragAndDropDelegate(std::make_unique<PngDragAndDropDelegate>());
    auto resettable = new ResettableWidget(banner_, page);
    resettable->setObjectName(QStringLiteral("banner_reset"));
    banner_row_ = addRow(launcher_layout_, tr("Banner Image"), resettable,
                         tr("<p>The image to be displayed in the launcher.</p><p><b>Notice</b>: <em>available for "
                            "GUI-based launcher only</em>.</p>"));
    connect(banner_, &AssetWidget::guidChanged, this, &Window::bannerChanged);

    vr_openvr_ = addCheckBox(page, QStringLiteral("use_openvr"));
    addRow(launcher_layout_, tr("Use OpenVR"), vr_openvr_,
           tr("<p>Check this box if your project is intended for VR and requires OpenVR support.</p><p>This option "
              "enables VR-mode selection in the application launcher.</p>"));
    connect(vr_openvr_, &QCheckBox::clicked, this, &Window::VROpenChanged);

    vr_oculus_ = addCheckBox(page, QStringLiteral("use_oculus"));
    oculus_row_ = addRow(launcher_layout_, tr("Use Oculus"), vr_oculus_,
                         tr("<p>Check this box if your project is intended for VR and requires Oculus HMD "
                            "support.</p><p>This option enables VR-mode selection in the application launcher.</p>"));
    connect(vr_oculus_, &QCheckBox::clicked, this, &Window::VROculusChanged);

    vr_varjo_ = addCheckBox(page, QStringLiteral("use_varjo"));
    varjo_row_ = addRow(launcher_layout_, tr("Use Varjo"), vr_varjo_,
                        tr("<p>Check this box if your project is intended for VR and requires Varjo HMD "
                           "support.</p><p>This option enables VR-mode selection in the application launcher.</p>"));
    connect(vr_varjo_, &QCheckBox::clicked, this, &Window::VRVarjoChanged);

    resolution_ = new ComboBoxWithCheckboxes(page);
    resolution_->setObjectName(QStringLiteral("resolution"));
    addRow(launcher_layout_, tr("Resolution"), resolution_, tr("<p>Application screen resolution.</p>"));
    connect(resolution_, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &Window::resolutionIndexChanged);

    fullscreen_ = addCheckBox(page, QStringLiteral("fullscreen"));
    addRow(launcher_layout_, tr("Fullscreen"), fullscreen_,
           tr("<p>Enables running the application in the Fullscreen mode.</p>"));
    connect(fullscreen_, &QCheckBox::clicked, this, &Window::fullscreenChanged);

    binary_ = addCombo(page, QStringLiteral("binary"),
                       {{tr("Development"), int(Binary::Development)}, {tr("Debug"), int(Binary::Debug)}});
    binary_row_ = addRow(launcher_layout_, tr("Binary"), binary_);
    connectCombo(binary_, &Window::emitBinary);

    video_debug_ = addCombo(page, QStringLiteral("video_debug"),
                            {{tr("Disabled"), int(VideoDebug::Disabled)},
                             {tr("Messages"), int(VideoDebug::Messages)},
                             {tr("Asserts"), int(VideoDebug::Asserts)}});
    video_debug_row_ = addRow(launcher_layout_, tr("Video Debug"), video_debug_,
                              tr("<p>Toggling the debug context of the Graphics API.</p><p><b>Notice</b>: "
                                 "<em>available for the Development build type only</em>.</p>"));
    connectCombo(video_debug_, &Window::emitVideoDebug);

    const QString app_tip = tr("<p>Path to the binary to be run.</p><p>Defined automatically if the binary is in the "
                               "<b>bin/</b> folder. If it was moved elsewhere, the path to the file must be set "
                               "manually.</p>");
    QToolButton *release_button = nullptr;
    QToolButton *dev_button = nullptr;
    QToolButton *debug_button = nullptr;
    release_app_ = addPathSelector(launcher_layout_, tr("Release App"), QStringLiteral("release_app"), app_tip,
                                   &release_button, &release_row_);
    dev_app_ = addPathSelector(launcher_layout_, tr("Development App"), QStringLiteral("development_app"), app_tip,
                               &dev_button, &dev_row_);
    debug_app_ = addPathSelector(launcher_layout_, tr("Debug App"), QStringLiteral("debug_app"), app_tip, &debug_button,
                                 &debug_row_);
    connect(release_button, &QToolButton::clicked, this, [this]() { openExecutableChooser(AppRow::Release); });
    connect(dev_button, &QToolButton::clicked, this, [this]() { openExecutableChooser(AppRow::Development); });
    connect(debug_button, &QToolButton::clicked, this, [this]() { openExecutableChooser(AppRow::Debug); });

    auto arguments_section = new AccordionWidget(page);
    arguments_section->setObjectName(QStringLiteral("arguments_section"));
    arguments_ = new QPlainTextEdit(arguments_section);
    arguments_->setObjectName(QStringLiteral("arguments"));
    arguments_->setMaximumHeight(ARGUMENTS_MAX_HEIGHT);
    arguments_section->addSection(tr("Arguments"), arguments_, false);
    // After the section's header, where a section puts the contents it is given.
    arguments_->raise();
    launcher_layout_->addFullRow(arguments_section);
    connect(arguments_, &QPlainTextEdit::textChanged, this,
            [this]() { emit argumentsChanged(arguments_->toPlainText()); });
}

void Window::commitPendingEdits()
{
    if (project_name_->text() != sent_name_) {
        sent_name_ = project_name_->text();
        emit projectNameChanged(sent_name_);
    }
}

void Window::selectByValue(QComboBox *combo, int value)
{
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemData(i).toInt() == value) {
            combo->setCurrentIndex(i);
            return;
        }
    }
}

void Window::setRowVisible(const Row &row, bool visible)
{
    if (row.layout)
        row.layout->setVisibleRow(row.index, visible);
}

void Window::setProjectName(const QString &name)
{
    sent_name_ = name;
    project_name_->setText(name);
}

void Window::setOutputPath(const QString &path)
{
    build_folder_->setText(path);
}

void Window::setLauncher(Launcher launcher)
{
    selectByValue(launcher_, int(launcher));
}

void Window::setConfiguration(BuildConfiguration config)
{
    selectByValue(build_type_, int(config));
}

void Window::setConfigurationEnabled(bool enabled)
{
    build_type_->setEnabled(enabled);
}

void Window::setPrecision(Precision precision)
{
    selectByValue(precision_, int(precision));
}

void Window::setPrecisionEnabled(bool enabled)
{
    precision_->setEnabled(enabled);
}

void Window::setPrecisionVisible(bool visible)
{
    setRowVisible(precision_row_, visible);
}

void Window::setStartWorld(const Velmora::UGUID &world)
{
    start_world_->setGuid(world);
}

void Window::setPrecompileShaders(bool precompile)
{
    precompile_->setChecked(precompile);
}

void Window::setCopyRules(const CopyRuleList &rules)
{
    copy_rules_->setRules(rules);
}

void Window::setBanner(const Velmora::UGUID &banner)
{
    banner_->setGuid(banner);
}

void Window::setBannerVisible(bool visible)
{
    setRowVisible(banner_row_, visible);
}

void Window::setVROpen(bool on)
{
    vr_openvr_->setChecked(on);
}

void Window::setVROculus(bool on)
{
    vr_oculus_->setChecked(on);
}

void Window::setVROculusVisible(bool visible)
{
    setRowVisible(oculus_row_, visible);
}

void Window::setVRVarjo(bool on)
{
    vr_varjo_->setChecked(on);
}

void Window::setVRVarjoVisible(bool visible)
{
    setRowVisible(varjo_row_, visible);
}

void Window::setResolutionModel(QAbstractItemModel *model, int index)
{
    {
        // Taking a model moves the current row by itself; only the row
        // asked for is announced.
        const QSignalBlocker blocker(resolution_);
        resolution_->setModel(model);
        resolution_->setCurrentIndex(-1);
    }
    resolution_->setCurrentIndex(index);
}

int Window::resolutionIndex() const
{
    return resolution_->currentIndex();
}

void Window::setResolutionIndex(int index)
{
    resolution_->setCurrentIndex(index);
}

void Window::setFullscreen(bool fullscreen)
{
    fullscreen_->setChecked(fullscreen);
}

void Window::setVideoDebug(VideoDebug vdebug)
{
    selectByValue(video_debug_, int(vdebug));
}

void Window::setVideoDebugVisible(bool visible)
{
    setRowVisible(video_debug_row_, visible);
}

void Window::setBinary(Binary binary)
{
    selectByValue(binary_, int(binary));
}

void Window::setBinaryEnabled(bool enabled)
{
    binary_->setEnabled(enabled);
}

void Window::setBinaryVisible(bool visible)
{
    setRowVisible(binary_row_, visible);
}

void Window::setReleaseFile(const QString &path)
{
    release_app_->setText(path);
}

void Window::setReleaseFileVisible(bool visible)
{
    setRowVisible(release_row_, visible);
}

void Window::setDevFile(const QString &path)
{
    dev_app_->setText(path);
}

void Window::setDevFileVisible(bool visible)
{
    setRowVisible(dev_row_, visible);
}

void Window::setDebugFile(const QString &path)
{
    debug_app_->setText(path);
}

void Window::setDebugFileVisible(bool visible)
{
    setRowVisible(debug_row_, visible);
}

void Window::setArguments(const QString &arguments)
{
    arguments_->setPlainText(arguments);
}

void Window::chooseOutputPath()
{
    const QString current = QDir::fromNativeSeparators(build_folder_->text());
    const QString start = !current.isEmpty() && QFileInfo(current).isDir() ? current : QDir::homePath();
    Dialogs::openDirectory(this, tr("Select destination path"), start,
                           [this](const QString &path) { onFolderChosen(path); });
}

void Window::onFolderChosen(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString normalized = normalizePath(path);
    if (normalized.isEmpty())
        return;
    const QString problem = BuildFolderCheck::problem(normalized);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, tr("Error"), problem, QMessageBox::Ok);
        chooseOutputPath();
        return;
    }
    emit outputPathChanged(normalized);
}

QFileDialog *Window::openExecutableChooser(AppRow row)
{
    QLineEdit *line = row == AppRow::Release ? release_app_ : row == AppRow::Development ? dev_app_ : debug_app_;
    const QString current = QDir::fromNativeSeparators(line->text());
    const QString start = !current.isEmpty() && QFileInfo(current).isFile() ? current : getExeDir();

    auto dialog = new QFileDialog(QApplication::activeWindow(), tr("Select an executable file"), start);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setProxyModel(new ExecutableFileFilterProxyModel(dialog));
    if (QFileInfo(start).isFile())
        dialog->selectFile(start);
    dialog->setModal(true);
    QPointer<Window> self(this);
    connect(dialog, &QFileDialog::finished, dialog, [self, dialog, row](int result) {
        dialog->deleteLater();
        const QStringList chosen = dialog->selectedFiles();
        if (!self || result != QDialog::Accepted || chosen.isEmpty() || chosen.first().isEmpty())
            return;
        const QString path = QDir::cleanPath(chosen.first());
        if (row == AppRow::Release)
            emit self->releaseFileChanged(path);
        else if (row == AppRow::Development)
            emit self->devFileChanged(path);
        else
            emit self->debugFileChanged(path);
    });
    dialog->show();
    return dialog;
}

} // namespace assembly
