#include "editor/assembly/presenter.h"

#include "editor/assembly/executor/options.h"
#include "editor/assembly/executor/options_file.h"
#include "editor/assembly/ui/assembly_window.h"

#include <editor_core/View.h>
#include <editor_core/editor/WindowManager.h>

#include <QtDebug>

namespace assembly {

Presenter::Presenter(QObject *parent)
    : QObject(parent)
    , data_(std::make_unique<Options>())
{}

Presenter::~Presenter()
{
    if (window_) {
        Editor::WindowManager::remove(window_);
        delete window_;
    }
}

void Presenter::init(View *main_window)
{
    const QJsonObject stored = OptionsFile::load();
    if (!stored.isEmpty())
        data_->deserialize(stored);
    // Loading alone never causes a save.
    data_->resetModified();

    window_ = new AssemblyWindow(main_window);
    Editor::WindowManager::add(window_, Editor::WindowManager::AREA_TOOL);
    connect(window_, &AssemblyWindow::makeBuildRequested, this, &Presenter::makeBuild);
}

void Presenter::saveOptions()
{
    if (!data_->isModified())
        return;
    OptionsFile::save(data_->serialize());
    data_->resetModified();
}

void Presenter::showUI()
{
    if (window_)
        Editor::WindowManager::show(window_);
}

void Presenter::makeBuild()
{
    qInfo() << "Build Tool: no build pipeline is available yet.";
    emit buildFinished();
}

} // namespace assembly
