#pragma once

#include "editor/interdependence/parser/guid_processor_base.h"
#include "editor/interdependence/parser/modules/module.h"

namespace mat {
class Manager;
}

namespace inas {
namespace parser {

// Material files (type 4), FESK or XML: FESK is tried first, then XML. A
// file that is neither leaves the item as it was and one warning.
class MaterialModule : public Module
{
public:
    MaterialModule(const mat::Manager *materials, std::shared_ptr<const GuidProcessorBase> guid_processor);

    void process(const char *path, Item &item) override;
    // The same; false when the file could not be read or loads neither as
    // FESK nor as XML (the item is then unchanged).
    bool processFile(const char *path, Item &item);

private:
    const mat::Manager *materials_;
    std::shared_ptr<const GuidProcessorBase> guid_processor_;
};

} // namespace parser
} // namespace inas
