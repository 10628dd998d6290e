#include "editor_core/EditorSettings.h"

#include <velmora/Log.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QWidget>

namespace {

// Organisation "Velmora", application "Editor", in the per-user config
// folder ($XDG_CONFIG_HOME, else ~/.config).
QString settingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
            + QStringLiteral("/Velmora/Editor.conf");
}

} // namespace

EditorSettings::EditorSettings()
    : settings_(new QSettings(settingsPath(), QSettings::IniFormat))
    , file_(new ConfigFile(settings_.get()))
{
    if (settings_->status() != QSettings::NoError)
        Velmora::Log::warning("Editor settings: cannot read %s\n", qUtf8Printable(settings_->fileName()));
}

EditorSettings::~EditorSettings()
{
    settings_->sync();
}

ConfigEntry EditorSettings::entry(const char *key) const
{
    return ConfigEntry{file_.get(), QString::fromLatin1(key)};
}

EditorSettings::ConsoleSection EditorSettings::console() const
{
    return ConsoleSection{entry("console/history")};
}

EditorSettings::EditorSection EditorSettings::editor() const
{
    return EditorSection{entry("editor/precompile_all_shaders")};
}

EditorSettings::WindowsSection EditorSettings::windows() const
{
    return WindowsSection{entry("windows/geometry"), entry("windows/layout"), entry("windows/show_help_at_startup")};
}

EditorSettings::TextureProfilerSection EditorSettings::textureProfiler() const
{
    return TextureProfilerSection{entry("textureProfiler/geometry"), entry("textureProfiler/location"),
                                  entry("textureProfiler/display_core_assets")};
}

EditorSettings::AssetBrowserSection EditorSettings::assetBrowser() const
{
    return AssetBrowserSection{entry("asset_browser/state")};
}

QString EditorSettings::fileName() const
{
    return settings_->fileName();
}

namespace {

QString formKey(const QString &name, const QObject *child)
{
    return name + QLatin1Char('/') + child->objectName();
}

} // namespace

void EditorSettings::saveForm(const QString &name, QWidget *widget)
{
    if (!widget || name.isEmpty()) {
        Velmora::Log::warning("Editor settings: saveForm needs a form name and a widget\n");
        return;
    }
    const QList<QWidget *> children = widget->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->objectName().isEmpty())
            continue;
        const QString key = formKey(name, child);
        if (auto *check = qobject_cast<QCheckBox *>(child))
            settings_->setValue(key, check->isChecked());
        else if (auto *radio = qobject_cast<QRadioButton *>(child))
            settings_->setValue(key, radio->isChecked());
        else if (auto *line = qobject_cast<QLineEdit *>(child)) {
            // Line edits inside combo and spin boxes belong to them.
            if (!qobject_cast<QComboBox *>(line->parentWidget())
                && !qobject_cast<QAbstractSpinBox *>(line->parentWidget()))
                settings_->setValue(key, line->text());
        } else if (auto *combo = qobject_cast<QComboBox *>(child))
            settings_->setValue(key, combo->currentIndex());
        else if (auto *spin = qobject_cast<QSpinBox *>(child))
            settings_->setValue(key, spin->value());
        else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(child))
            settings_->setValue(key, dspin->value());
        else if (auto *text = qobject_cast<QPlainTextEdit *>(child))
            settings_->setValue(key, text->toPlainText());
    }
    settings_->sync();
}

void EditorSettings::restoreForm(const QString &name, QWidget *widget)
{
    if (!widget || name.isEmpty()) {
        Velmora::Log::warning("Editor settings: restoreForm needs a form name and a widget\n");
        return;
    }
    const QList<QWidget *> children = widget->findChildren<QWidget *>();
    for (QWidget *child : children) {
        if (child->objectName().isEmpty())
            continue;
        const QString key = formKey(name, child);
        if (!settings_->contains(key))
            continue;
        const QVariant value = settings_->value(key);
        if (auto *check = qobject_cast<QCheckBox *>(child))
            check->setChecked(file_->getBool(key, check->isChecked()));
        else if (auto *radio = qobject_cast<QRadioButton *>(child))
            radio->setChecked(file_->getBool(key, radio->isChecked()));
        else if (auto *line = qobject_cast<QLineEdit *>(child)) {
            if (!qobject_cast<QComboBox *>(line->parentWidget())
                && !qobject_cast<QAbstractSpinBox *>(line->parentWidget()))
                line->setText(value.toString());
        } else if (auto *combo = qobject_cast<QComboBox *>(child)) {
            bool ok = false;
            const int index = value.toInt(&ok);
            if (ok && index >= -1 && index < combo->count())
                combo->setCurrentIndex(index);
        } else if (auto *spin = qobject_cast<QSpinBox *>(child)) {
            bool ok = false;
            const int v = value.toInt(&ok);
            if (ok)
                spin->setValue(v);
        } else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(child)) {
            bool ok = false;
            const double v = value.toDouble(&ok);
            if (ok)
                dspin->setValue(v);
        } else if (auto *text = qobject_cast<QPlainTextEdit *>(child))
            text->setPlainText(value.toString());
    }
}
