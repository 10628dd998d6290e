#pragma once

#include <QWidget>

namespace Editor {
class AssetManagerPrivate;
}

class QLabel;

namespace cleaner {

// The "Cleaner" tool window. For now it shows how many assets the project
// holds; the lists of lost references and unused assets come with the
// cleaner itself.
class CleanerWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CleanerWindow(QWidget *parent = nullptr);
    ~CleanerWindow() override;

    Editor::AssetManagerPrivate *assetManager() const { return asset_manager_; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateSummary();

    Editor::AssetManagerPrivate *asset_manager_ = nullptr;
    QLabel *summary_ = nullptr;
};

} // namespace cleaner
