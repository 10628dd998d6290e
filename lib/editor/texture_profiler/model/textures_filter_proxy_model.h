#pragma once

#include <QSortFilterProxyModel>

namespace tprof {

// Filters a TexturesModel by the core flag and by whether a texture is
// loaded, and sorts memory by bytes and resolution by pixel count instead
// of by their texts.
class TexturesFilterProxyModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit TexturesFilterProxyModel(QObject *parent = nullptr);

    bool displayCoreAssets() const { return display_core_assets_; }
    void setDisplayCoreAssets(bool display);
    bool showNotLoaded() const { return show_not_loaded_; }
    void setShowNotLoaded(bool show);

protected:
    bool filterAcceptsRow(int source_row, const QModelIndex &source_parent) const override;
    bool lessThan(const QModelIndex &source_left, const QModelIndex &source_right) const override;

private:
    bool display_core_assets_ = true;
    bool show_not_loaded_ = true;
};

} // namespace tprof
