#pragma once

#include <editor_core/depr/EditorGlobals.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <QSignalSpy>

#include <memory>

namespace test {

// An asset manager over a data folder, the editor's own while it runs.
class GlobalAssets
{
public:
    GlobalAssets() = default;
    GlobalAssets(const GlobalAssets &) = delete;
    GlobalAssets &operator=(const GlobalAssets &) = delete;
    ~GlobalAssets() { stop(); }

    // Scans root (ending with "/"); true once the first scan is over.
    bool start(const QString &root)
    {
        manager_ = std::make_unique<Editor::AssetManagerPrivate>();
        manager_->setRootPath(root);
        depr::g.asset_manager = manager_.get();
        QSignalSpy initialized(manager_.get(), &Editor::AssetManagerPrivate::initialized);
        manager_->init();
        return initialized.wait(10000);
    }
    void stop()
    {
        if (!manager_)
            return;
        depr::g.asset_manager = nullptr;
        manager_->shutdown();
        manager_.reset();
    }
    Editor::AssetManagerPrivate *operator->() const { return manager_.get(); }
    Editor::AssetManagerPrivate *get() const { return manager_.get(); }

private:
    std::unique_ptr<Editor::AssetManagerPrivate> manager_;
};

} // namespace test
