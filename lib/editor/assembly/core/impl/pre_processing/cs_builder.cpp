#include "editor/assembly/core/impl/pre_processing/cs_builder.h"

#include <editor_core/base/Assert.h>
#include <editor_core/cs/Manager.h>

namespace assembly {

CSBuilder::CSBuilder(cs::Manager *manager)
    : manager_(manager)
{
    EC_ASSERT(manager_);
}

bool CSBuilder::execute(const ProgressCallback &progress, post::OperationQueue & /*queue*/)
{
    // flush() is safe off the GUI thread.
    manager_->flush();
    return progress(1, 1);
}

} // namespace assembly
