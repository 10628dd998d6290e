#include "editor/cleaner/collector/name_matcher.h"

#include <algorithm>
#include <deque>

namespace cleaner {

int NameMatcher::add(std::string_view name)
{
    if (building_.empty()) {
        building_.emplace_back();
        name_at_.push_back(-1);
    }
    const int id = int(lengths_.size());
    lengths_.push_back(int32_t(name.size()));
    same_as_next_.push_back(-1);
    if (name.empty())
        return id;
    int state = 0;
    for (const char c : name) {
        const unsigned char byte = static_cast<unsigned char>(c);
        int target = -1;
        for (const Edge &edge : building_[size_t(state)]) {
            if (edge.byte == byte) {
                target = edge.target;
                break;
            }
        }
        if (target < 0) {
            target = int(building_.size());
            building_[size_t(state)].push_back(Edge{byte, target});
            building_.emplace_back();
            name_at_.push_back(-1);
        }
        state = target;
    }
    // Several ids of one text form a chain from the state.
    int &head = name_at_[size_t(state)];
    if (head < 0) {
        head = id;
    } else {
        int last = head;
        while (same_as_next_[size_t(last)] >= 0)
            last = same_as_next_[size_t(last)];
        same_as_next_[size_t(last)] = id;
    }
    return id;
}

int NameMatcher::child(int state, unsigned char byte) const
{
    const auto begin = edges_.begin() + edge_begin_[size_t(state)];
    const auto end = edges_.begin() + edge_begin_[size_t(state) + 1];
    const auto it = std::lower_bound(begin, end, byte, [](const Edge &edge, unsigned char b) { return edge.byte < b; });
    return it != end && it->byte == byte ? it->target : -1;
}

int NameMatcher::next(int state, unsigned char byte) const
{
    for (;;) {
        if (state == 0)
            return root_next_[byte];
        const int target = child(state, byte);
        if (target >= 0)
            return target;
        state = fail_[size_t(state)];
    }
}

void NameMatcher::build()
{
    if (building_.empty()) {
        building_.emplace_back();
        name_at_.push_back(-1);
    }
    const size_t states = building_.size();
    edge_begin_.assign(states + 1, 0);
    edges_.clear();
    for (size_t s = 0; s < states; ++s) {
        std::vector<Edge> &list = building_[s];
        std::sort(list.begin(), list.end(), [](const Edge &a, const Edge &b) { return a.byte < b.byte; });
        edge_begin_[s] = int32_t(edges_.size());
        edges_.insert(edges_.end(), list.begin(), list.end());
    }
    edge_begin_[states] = int32_t(edges_.size());
    building_.clear();
    building_.shrink_to_fit();

    fail_.assign(states, 0);
    output_link_.assign(states, -1);
    std::deque<int> queue;
    for (int32_t e = edge_begin_[0]; e < edge_begin_[1]; ++e)
        queue.push_back(edges_[size_t(e)].target);
    while (!queue.empty()) {
        const int state = queue.front();
        queue.pop_front();
        for (int32_t e = edge_begin_[size_t(state)]; e < edge_begin_[size_t(state) + 1]; ++e) {
            const Edge &edge = edges_[size_t(e)];
            int fallback = fail_[size_t(state)];
            int target = -1;
            for (;;) {
                target = child(fallback, edge.byte);
                if (target >= 0 || fallback == 0)
                    break;
                fallback = fail_[size_t(fallback)];
            }
            if (target < 0 || target == edge.target)
                target = 0;
            fail_[size_t(edge.target)] = target;
            output_link_[size_t(edge.target)] = name_at_[size_t(target)] >= 0 ? target : output_link_[size_t(target)];
            queue.push_back(edge.target);
        }
    }
    root_next_.assign(256, 0);
    for (int32_t e = edge_begin_[0]; e < edge_begin_[1]; ++e)
        root_next_[edges_[size_t(e)].byte] = edges_[size_t(e)].target;
    seen_.assign(lengths_.size(), 0);
    stamp_ = 0;
    built_ = true;
}

} // namespace cleaner
