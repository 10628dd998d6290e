#include "editor/assembly/core/post_processing_handler.h"

#include <utility>

namespace assembly {

void PostProcessingHandler::add(post::Operation operation)
{
    operations_.push_back(std::move(operation));
}

void PostProcessingHandler::runOperations()
{
    // Taken out first, so that an operation that queues another one cannot
    // change the list being run.
    std::vector<post::Operation> operations;
    operations.swap(operations_);
    for (auto it = operations.rbegin(); it != operations.rend(); ++it) {
        if (*it)
            (*it)();
    }
}

} // namespace assembly
