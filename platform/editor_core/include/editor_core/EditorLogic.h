#pragma once

#include <velmora/Engine.h>
#include <velmora/Ptr.h>

#include <QObject>

namespace Velmora {
class Material;
}

// The editor's logic as the engine sees it: the engine calls the
// EditorLogicInterface virtuals on its main thread, and this object turns
// each call into a Qt signal. Handlers run in connection order.
class EditorLogic : public QObject, public Velmora::EditorLogicInterface
{
    Q_OBJECT

public:
    explicit EditorLogic(QObject *parent = nullptr);
    ~EditorLogic() override;

    // Velmora::EditorLogicInterface
    void init() override;
    void update() override;
    void worldInit() override;
    void worldShutdown() override;
    void worldSave() override;
    void nodeRemoved(int id) override;
    void compileBegin() override;
    void compileMaterial(const Velmora::Ptr<Velmora::Material> &material, int remaining) override;
    void compileEnd() override;

signals:
    void onInit();
    void onUpdate();
    void onWorldInit();
    void onWorldShutdown();
    void onWorldSave();
    void onNodeRemoved(int id);
    void onMaterialCompileShadersBegin();
    void onMaterialCompileShaders(Velmora::Ptr<Velmora::Material> material, int remaining);
    void onMaterialCompileShadersEnd();
};
