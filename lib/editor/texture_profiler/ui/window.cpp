#include "editor/texture_profiler/ui/window.h"

#include <editor_core/EditorSettings.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>

namespace tprof {

Window::Window(Editor::AssetManagerPrivate *assets, QWidget *parent)
    : QWidget(parent)
    , assets_(assets)
{
    setObjectName(QStringLiteral("TextureProfiler"));
    setWindowTitle(tr("Texture Profiler"));
    auto layout = new QFormLayout(this);
    location_ = new QComboBox(this);
    location_->setObjectName(QStringLiteral("location"));
    location_->addItems({tr("Main memory"), tr("Video memory")});
    layout->addRow(tr("Location:"), location_);
    display_core_assets_ = new QCheckBox(tr("Display core assets"), this);
    display_core_assets_->setObjectName(QStringLiteral("display_core_assets"));
    display_core_assets_->setChecked(EditorSettings::DEFAULT_TEXTURE_PROFILER_DISPLAY_CORE_ASSETS);
    layout->addRow(display_core_assets_);
    last_event_ = new QLabel(this);
    last_event_->setObjectName(QStringLiteral("last_event"));
    layout->addRow(last_event_);
    hide();
}

Window::~Window() = default;

void Window::restoreSettings(EditorSettings *settings)
{
    const EditorSettings::TextureProfilerSection section = settings->textureProfiler();
    const QByteArray geometry = section.geometry.getBytes();
    if (!geometry.isEmpty())
        restoreGeometry(geometry);
    display_core_assets_->setChecked(section.display_core_assets.file->getBool(
            section.display_core_assets.key, EditorSettings::DEFAULT_TEXTURE_PROFILER_DISPLAY_CORE_ASSETS));
    const int location
            = section.location.file->getInt(section.location.key, EditorSettings::DEFAULT_TEXTURE_PROFILER_LOCATION);
    location_->setCurrentIndex(qBound(0, location, location_->count() - 1));
}

void Window::saveSettings(EditorSettings *settings)
{
    const EditorSettings::TextureProfilerSection section = settings->textureProfiler();
    section.geometry.file->set(section.geometry.key, saveGeometry());
    section.display_core_assets.file->set(section.display_core_assets.key, display_core_assets_->isChecked());
    section.location.file->set(section.location.key, location_->currentIndex());
}

void Window::assetChanged(const Velmora::UGUID &guid)
{
    ++changed_count_;
    last_event_->setText(tr("Changed: %1").arg(QString::fromUtf8(guid.getString().get())));
}

void Window::assetRemoved(const Velmora::UGUID &guid)
{
    ++removed_count_;
    last_event_->setText(tr("Removed: %1").arg(QString::fromUtf8(guid.getString().get())));
}

} // namespace tprof
