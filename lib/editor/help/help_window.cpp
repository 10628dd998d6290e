#include "editor/help/help_window.h"

#include <editor_core/CheckBox.h>
#include <editor_core/EditorControls.h>
#include <editor_core/EditorSettings.h>
#include <editor_core/View.h>
#include <editor_core/WidgetUtils.h>
#include <editor_core/base/Assert.h>
#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/WindowManagerPrivate.h>

#include <velmora/String.h>

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int DESCRIPTION_POINT_SIZE = 10;

bool showAtStartupSetting()
{
    EditorSettings *settings = depr::g.settings;
    if (!settings)
        return EditorSettings::DEFAULT_SHOW_HELP_AT_STARTUP;
    const ConfigEntry entry = settings->windows().show_help_at_startup;
    return entry.file->getBool(entry.key, EditorSettings::DEFAULT_SHOW_HELP_AT_STARTUP);
}

} // namespace

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent)
{
    setWindowTitle(tr("Help"));
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlags(Qt::Tool | Qt::MSWindowsFixedSizeDialogHint);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    auto layout = new QGridLayout(this);
    layout->setContentsMargins(80, 80, 80, 60);
    layout->setSpacing(12);
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);

    const QVector<ButtonInfo> infos = buttonInfos();
    for (int i = 0; i < infos.size(); ++i) {
        QPushButton *button = createButton(infos.at(i));
        buttons_.append(button);
        layout->addWidget(button, 0, i);
    }

    show_at_startup_ = new CheckBox(tr("Show this at startup"), this);
    show_at_startup_->setChecked(showAtStartupSetting());
    connect(show_at_startup_, &QCheckBox::toggled, this, &HelpWindow::onShowAtStartupToggled);
    layout->addWidget(show_at_startup_, 1, 0, 1, infos.size(), Qt::AlignRight);
}

HelpWindow::~HelpWindow() = default;

QVector<HelpWindow::ButtonInfo> HelpWindow::buttonInfos() const
{
    return {
            {":/images/help_window/button_start_blue.png", ":/images/help_window/button_start_green.png",
             tr("GETTING STARTED"),
             tr("First time with VELMORA? Start learning about its capabilities, terminology, and project workflow "
                "here."),
             QString(), [] { EditorControls::openGettingStartedUrl(); }},
            {":/images/help_window/button_video_blue.png", ":/images/help_window/button_video_green.png",
             tr("VIDEO TUTORIALS"),
             tr("Learn VELMORA from UI to content optimization by watching our video tutorials."), QString(),
             [] { EditorControls::openVideoTutorialsUrl(); }},
            {":/images/help_window/button_docs_blue.png", ":/images/help_window/button_docs_green.png",
             tr("ONLINE DOCS"),
             tr("Our thorough and well-organized documentation covers all aspects of development within VELMORA."),
             QString(), [] { EditorControls::openDocumentationUrl(); }},
            {":/images/help_window/button_forum_blue.png", ":/images/help_window/button_forum_green.png", tr("FORUM"),
             tr("The VELMORA community consists of professional developers giving helpful advice to your questions "
                "here."),
             QString(), [] { EditorControls::openForumsUrl(); }},
    };
}

QPushButton *HelpWindow::createButton(const ButtonInfo &info)
{
    // Made inside the window (and the labels inside the button) rather than
    // put there by the layouts: moving a widget under the style sheet restyles
    // all of it again.
    auto button = new QPushButton(this);
    const Velmora::String style
            = Velmora::String::format("QPushButton {background-image: url(%s);min-width: 220px;min-height: 320px;}"
                                      "QPushButton:hover {background-image: url(%s);}",
                                      info.normal_image, info.hover_image);
    button->setStyleSheet(QString::fromUtf8(style.get()));
    button->setToolTip(info.tooltip);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    EC_ASSERT(info.action != nullptr && "Button's action can't be null.");
    const std::function<void()> action = info.action;
    connect(button, &QPushButton::pressed, button, [action] { action(); });

    auto layout = new QVBoxLayout(button);
    layout->setContentsMargins(20, 180, 20, 0);
    const QString label_style = QStringLiteral("QLabel { background: transparent; color : white; }");
    auto title = new QLabel(info.title, button);
    QFont font = title->font();
    font.setWeight(QFont::Bold);
    font.setPointSize(13);
    title->setFont(font);
    title->setStyleSheet(label_style);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addSpacing(10);
    auto description = new QLabel(info.description, button);
    // Small enough that the longest description fits the picture below the
    // title whatever the platform's default font is.
    QFont description_font = description->font();
    description_font.setPointSize(DESCRIPTION_POINT_SIZE);
    description->setFont(description_font);
    description->setWordWrap(true);
    description->setAlignment(Qt::AlignLeft);
    description->setStyleSheet(label_style);
    layout->addWidget(description, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return button;
}

void HelpWindow::showOnStartupIfEnabled()
{
    if (startup_checked_)
        return;
    startup_checked_ = true;
    if (showAtStartupSetting() && !isVisible() && depr::g.window_manager)
        emit depr::g.window_manager->openHelp();
}

void HelpWindow::setVisible(bool visible)
{
    QWidget::setVisible(visible);
    if (visible && !centered_) {
        centered_ = true;
        moveToScreenCenter(depr::gui.main_window, this);
    }
}

void HelpWindow::onShowAtStartupToggled(bool checked)
{
    EditorSettings *settings = depr::g.settings;
    if (!settings)
        return;
    const ConfigEntry entry = settings->windows().show_help_at_startup;
    entry.file->set(entry.key, checked);
}
