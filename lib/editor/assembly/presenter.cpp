#include "editor/assembly/presenter.h"

#include "editor/assembly/ui/assembly_window.h"

#include <editor_core/View.h>
#include <editor_core/editor/WindowManager.h>

#include <QtDebug>

namespace assembly {

Presenter::Presenter(QObject *parent)
    : QObject(parent)
{
}

Presenter::~Presenter()
{
    if (window_) {
        Editor::WindowManager::remove(window_);
        delete window_;
    }
}

void Presenter::init(View *main_window)
{
    window_ = new AssemblyWindow(main_window);
    Editor::WindowManager::add(window_, Editor::WindowManager::AREA_TOOL);
    connect(window_, &AssemblyWindow::makeBuildRequested, this, &Presenter::makeBuild);
}

void Presenter::saveOptions()
{
    // Nothing is edited yet, so there is nothing to write.
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
