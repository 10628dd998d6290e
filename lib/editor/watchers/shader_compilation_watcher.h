#pragma once

#include <QObject>

class QString;

// Keeps the engine's frames running while material shaders compile (an
// always-update claim from the compile begin to its end), applies the editor
// setting that decides whether the engine precompiles all shaders, and puts
// a compile popup into every scene viewport created after watchViewports().
class ShaderCompilationWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ShaderCompilationWatcher(QObject *parent = nullptr);
    // A claim still held (a compile running at shutdown) is released.
    ~ShaderCompilationWatcher() override;

    // Every scene viewport created from now on gets its popup.
    void watchViewports();
    void applyPrecompileSetting();
    void createPopup(const QString &viewport_id);

    bool isClaimingAlwaysUpdate() const { return claimed_; }

private:
    void onCompileBegin();
    void onCompileEnd();

    // The claim is a process-wide counter: a begin that repeats without an
    // end, or an end that arrives for a compile begun before the watcher
    // existed, must not unbalance it.
    bool claimed_ = false;
};
