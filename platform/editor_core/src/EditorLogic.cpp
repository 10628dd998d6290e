#include "editor_core/EditorLogic.h"

EditorLogic::EditorLogic(QObject *parent)
    : QObject(parent)
{}

EditorLogic::~EditorLogic() = default;

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
