#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cleaner {

// Finds which of many names occur in a text, all at once (an Aho-Corasick
// automaton over bytes): the cost is the text's length plus the matches,
// whatever the number of names. Case-sensitive; NUL bytes are ordinary.
class NameMatcher
{
public:
    // Adds a name and returns its id (ids count from 0 in the order names
    // are added; an empty name never matches). Adding after build() is not
    // allowed.
    int add(std::string_view name);
    void build();
    int size() const { return int(lengths_.size()); }

    // Calls found(id) once for every name that occurs in text, in the order
    // of first occurrence. found returns false to stop the search early.
    template<typename Found>
    void search(std::string_view text, Found &&found) const;

private:
    struct Edge
    {
        unsigned char byte;
        int32_t target;
    };
    int next(int state, unsigned char byte) const;
    int child(int state, unsigned char byte) const;

    // Trie in insertion form while building, then edges sorted per state.
    std::vector<std::vector<Edge>> building_;
    std::vector<int32_t> edge_begin_;
    std::vector<Edge> edges_;
    std::vector<int32_t> fail_;
    // Every move from the start state, which most bytes of a text take.
    std::vector<int32_t> root_next_;
    // The name that ends at a state (-1 when none) and the next state on
    // the failure chain that ends a name (-1 when none).
    std::vector<int32_t> name_at_;
    std::vector<int32_t> output_link_;
    std::vector<int32_t> lengths_;
    // Every id that names the same text as an earlier id.
    std::vector<int32_t> same_as_next_;
    bool built_ = false;
    mutable std::vector<uint32_t> seen_;
    mutable uint32_t stamp_ = 0;
};

template<typename Found>
void NameMatcher::search(std::string_view text, Found &&found) const
{
    if (!built_ || lengths_.empty())
        return;
    if (++stamp_ == 0) {
        std::fill(seen_.begin(), seen_.end(), 0u);
        stamp_ = 1;
    }
    int state = 0;
    for (const char c : text) {
        state = next(state, static_cast<unsigned char>(c));
        for (int at = name_at_[size_t(state)] >= 0 ? state : output_link_[size_t(state)]; at >= 0;
             at = output_link_[size_t(at)]) {
            // A name seen before was reported with everything further down
            // its chain.
            if (seen_[size_t(name_at_[size_t(at)])] == stamp_)
                break;
            for (int id = name_at_[size_t(at)]; id >= 0; id = same_as_next_[size_t(id)]) {
                seen_[size_t(id)] = stamp_;
                if (!found(id))
                    return;
            }
        }
    }
}

} // namespace cleaner
