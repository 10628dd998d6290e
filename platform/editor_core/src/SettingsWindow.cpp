#include "editor_core/SettingsWindow.h"

#include "editor_core/CheckBox.h"
#include "editor_core/EditorSettings.h"

#include <QGroupBox>
#include <QVBoxLayout>

SettingsWindow::SettingsWindow(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("SettingsWindow"));
    setWindowTitle(tr("Settings"));

    auto *shaders = new QGroupBox(tr("Shaders"), this);
    precompile_ = new CheckBox(tr("Precompile all shaders"), shaders);
    precompile_->setObjectName(QStringLiteral("precompile_all_shaders"));
    precompile_->setToolTip(tr("Compile the shaders of every material in the background, "
                               "not only when a material is first drawn"));
    precompile_->setChecked(EditorSettings::DEFAULT_PRECOMPILE_ALL_SHADERS);
    precompile_->setEnabled(false);
    auto *shaders_layout = new QVBoxLayout(shaders);
    shaders_layout->addWidget(precompile_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(shaders);
    layout->addStretch(1);

    connect(precompile_, &QCheckBox::toggled, this, &SettingsWindow::onPrecompileToggled);
}

SettingsWindow::~SettingsWindow() = default;

void SettingsWindow::init(EditorSettings *settings)
{
    settings_ = settings;
    precompile_->setEnabled(settings_ != nullptr);
    if (!settings_)
        return;
    const ConfigEntry entry = settings_->editor().precompile_all_shaders;
    const QSignalBlocker blocker(precompile_);
    precompile_->setChecked(entry.file->getBool(entry.key, EditorSettings::DEFAULT_PRECOMPILE_ALL_SHADERS));
}

void SettingsWindow::shutdown(EditorSettings *settings)
{
    if (settings) {
        const ConfigEntry entry = settings->editor().precompile_all_shaders;
        entry.file->set(entry.key, precompile_->isChecked());
    }
    settings_ = nullptr;
    precompile_->setEnabled(false);
}

CheckBox *SettingsWindow::precompileCheckBox() const
{
    return precompile_;
}

void SettingsWindow::onPrecompileToggled(bool checked)
{
    if (!settings_)
        return;
    const ConfigEntry entry = settings_->editor().precompile_all_shaders;
    entry.file->set(entry.key, checked);
}
