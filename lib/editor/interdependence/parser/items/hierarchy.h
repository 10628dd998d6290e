#pragma once

#include "editor/interdependence/parser/parser_item.h"

namespace inas {
namespace parser {
namespace items {

// The item of a material or property: adds the parent material or property
// (empty when none). The parent is in neither the item's dependents nor its
// descendants.
class Hierarchy : public virtual Item
{
public:
    explicit Hierarchy(const Velmora::UGUID &id);
    ~Hierarchy() override;

    const Velmora::UGUID &getParentId() const { return parent_id_; }
    void setParentId(const Velmora::UGUID &id) { parent_id_ = id; }

private:
    Velmora::UGUID parent_id_;
};

} // namespace items
} // namespace parser
} // namespace inas
