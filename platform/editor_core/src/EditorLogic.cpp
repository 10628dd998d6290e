#include "editor_core/EditorLogic.h"

#include <velmora/Engine.h>

EditorLogic::EditorLogic(QObject *parent)
    : QObject(parent)
{}

EditorLogic::~EditorLogic()
{
    // A running engine must never call into a logic that is gone.
    Velmora::Engine *engine = Velmora::Engine::get();
    if (engine && engine->getEditorLogic() == this)
        engine->setEditorLogic(nullptr);
}

void EditorLogic::init()
{
    emit onInit();
}

void EditorLogic::update()
{
    emit onUpdate();
}

void EditorLogic::worldInit()
{
    emit onWorldInit();
}

void EditorLogic::worldShutdown()
{
    emit onWorldShutdown();
}

void EditorLogic::worldSave()
{
    emit onWorldSave();
}

void EditorLogic::nodeRemoved(int id)
{
    emit onNodeRemoved(id);
}

void EditorLogic::compileBegin()
{
    emit onMaterialCompileShadersBegin();
}

void EditorLogic::compileMaterial(const Velmora::Ptr<Velmora::Material> &material, int remaining)
{
    emit onMaterialCompileShaders(material, remaining);
}

void EditorLogic::compileEnd()
{
    emit onMaterialCompileShadersEnd();
}
