#pragma once

#include <QObject>
#include <QStringList>

// Keeps the engine's frames running while shaders compile (an always-update
// claim between the compile begin and end), applies the editor setting that
// decides whether the engine precompiles all shaders, and follows the scene
// viewports that will show the compile progress.
class ShaderCompilationWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ShaderCompilationWatcher(QObject *parent = nullptr);
    ~ShaderCompilationWatcher() override;

    // Every scene viewport created from now on is followed.
    void watchViewports();
    void applyPrecompileSetting();

    bool isCompiling() const { return compiling_; }
    int compiledMaterials() const { return compiled_materials_; }
    QStringList watchedViewports() const { return viewports_; }

private:
    void onCompileBegin();
    void onCompileEnd();
    void createPopup(const QString &viewport_id);

    bool compiling_ = false;
    int compiled_materials_ = 0;
    QStringList viewports_;
};
