#pragma once

#include "editor/interdependence/analyzer/analyzer_output.h"
#include "editor/interdependence/combiner/combiner_driver.h"
#include "editor/interdependence/parser/parser_item.h"
#include "editor/show_assets_dependencies/show_assets_settings.h"

#include <editor_core/as/Presenter.h>
#include <editor_core/base/Assert.h>

#include <velmora/UGUID.h>
#include <velmora/Vector.h>

#include <QtDebug>

#include <memory>

namespace show_deps {

// What the viewer's two combiners share: one progress step and one main row
// per requested GUID (in request order, under the GUID the asset browser
// shows), filled by the subclass's addFindings. ResultT is the result type,
// a TableResultData. A requested GUID that was not analysed (its asset went
// away meanwhile) is left out with a warning.
template<typename ResultT>
class TableCombiner : public inas::combiner::Driver
{
public:
    using Data = std::remove_reference_t<decltype(*std::declval<ResultT &>().data())>;

    // settings: a ShowAssetsSettings.
    bool init(inas::CustomSettings *settings) override
    {
        const auto *show_settings = dynamic_cast<const ShowAssetsSettings *>(settings);
        EC_ASSERT(show_settings);
        iterations_ = show_settings->getGuids().size();
        return iterations_ != 0;
    }

    int getMaxIterations() const override { return iterations_; }

    std::unique_ptr<inas::ResultData> combine(inas::CustomSettings *settings, const inas::ProgressCallback &progress,
                                              const inas::analyzer::Output &output) override
    {
        const auto *show_settings = dynamic_cast<const ShowAssetsSettings *>(settings);
        EC_ASSERT(show_settings);
        auto result = std::make_unique<ResultT>(show_settings->getAssetManager());
        Data &data = *result->data();
        const Velmora::Vector<Velmora::UGUID> &guids = show_settings->getGuids();
        prepare(output, guids);
        for (int i = 0; i < guids.size(); ++i) {
            if (!progress(iterations_, i + 1))
                return nullptr;
            const Velmora::UGUID &guid = guids[i];
            const inas::analyzer::Item *main_item = output.item_map.value(guid);
            const Velmora::UGUID visible = as::Presenter::convertToVisible(guid);
            if (!main_item || !visible.isValid()) {
                qWarning("Dependency viewer: %s was not analysed (removed meanwhile?); it is left out",
                         guid.getString().get());
                continue;
            }
            const int row = data.addRow(visible);
            addFindings(guid, *main_item->getParserData(), row, output, data);
        }
        return result;
    }

    void reset(inas::CustomSettings * /*settings*/) override { iterations_ = 0; }

protected:
    // Once per combine, before the first row: an index over the output.
    virtual void prepare(const inas::analyzer::Output & /*output*/, const Velmora::Vector<Velmora::UGUID> & /*guids*/)
    {}
    // The sub-rows of main row row, which shows the requested guid; item is
    // guid's parser item.
    virtual void addFindings(const Velmora::UGUID &guid, const inas::parser::Item &item, int row,
                             const inas::analyzer::Output &output, Data &data)
            = 0;

private:
    int iterations_ = 0;
};

} // namespace show_deps
