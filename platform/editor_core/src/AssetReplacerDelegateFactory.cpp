#include "editor_core/AssetReplacerDelegateFactory.h"

#include "editor_core/AssetsMimeDataHandler.h"

namespace {

class AssetReplacerDelegate : public DragAndDropDelegate
{
public:
    explicit AssetReplacerDelegate(const QVector<int> &filter)
        : filter_(filter)
    {}

    bool isAcceptable(const QMimeData *data) const override { return chosen(data).isValid(); }

    void drop(const QMimeData *data) override
    {
        const Velmora::UGUID guid = chosen(data);
        if (guid.isValid())
            setGuid(guid);
    }

private:
    Velmora::UGUID chosen(const QMimeData *data) const
    {
        const QVector<as::Asset> assets = AssetsMimeDataHandler::assets(data);
        for (const as::Asset &asset : assets) {
            if (filter_.isEmpty() || filter_.contains(int(asset.getType())))
                return asset.findSRuntime().getGUID();
        }
        return Velmora::UGUID();
    }

    QVector<int> filter_;
};

} // namespace

std::unique_ptr<DragAndDropDelegate> AssetReplacerDelegateFactory::create(const QVector<int> &filter)
{
    return std::make_unique<AssetReplacerDelegate>(filter);
}
