#pragma once

#include "editor/assembly/core/operation_queue.h"

#include <vector>

namespace assembly {

// The post operations of one build. They run last added first, each once;
// afterwards the queue is empty.
class PostProcessingHandler : public post::OperationQueue
{
public:
    PostProcessingHandler() = default;
    PostProcessingHandler(const PostProcessingHandler &) = delete;
    PostProcessingHandler &operator=(const PostProcessingHandler &) = delete;

    void add(post::Operation operation) override;
    void runOperations();
    int count() const { return int(operations_.size()); }

private:
    std::vector<post::Operation> operations_;
};

} // namespace assembly
