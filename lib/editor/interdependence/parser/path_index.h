#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace inas {
namespace parser {

// Suffix and substring queries over a fixed list of paths, answered as a
// scan of the list in its order would answer them, without the scan: the
// paths are kept reversed and sorted, so the paths that end with a text are
// one contiguous range, and the paths that end at a position of a text are
// found by narrowing that range one character at a time.
class PathIndex
{
public:
    // paths: the list, in the order that decides between several matches.
    explicit PathIndex(const std::vector<std::string_view> &paths);

    // Position in the list of the first path that ends with text; -1 when
    // none (or text is empty).
    int firstEndingWith(std::string_view text) const;
    // Positions of every path that occurs inside text, ascending, each once.
    std::vector<int> containedIn(std::string_view text) const;

private:
    // A path's place in the sorted order: its first sixteen characters packed
    // into two numbers (the same order, as no path holds a zero byte), so that
    // most comparisons touch neither text: paths of one folder and extension
    // differ within their first sixteen characters reversed. The order is
    // total (the list position decides last), so sorting parts and merging
    // them gives the one order a single sort would.
    struct SortKey
    {
        uint64_t head;
        uint64_t next;
        int position;
    };

    // The phases of making the index, in order.
    std::vector<std::string_view> reverseIntoBuffer(const std::vector<std::string_view> &paths, int parts);
    static std::vector<SortKey> sortedKeys(const std::vector<std::string_view> &reversed, int parts);
    void keepSorted(const std::vector<std::string_view> &reversed, const std::vector<SortKey> &keys, int parts);
    void indexFirstCharacters();
    void indexBlockMinima();

    struct Range
    {
        int begin;
        int end;
        bool empty() const { return begin >= end; }
    };

    // Narrows a range of reversed paths that agree in their first position
    // characters to those whose next character is c.
    Range narrow(Range range, int position, unsigned char c) const;
    // The same, kept in word: the characters of the positions of the word
    // of position (positions 0-7, 8-15) before it, packed as in heads_; c
    // is added to it.
    Range narrow(Range range, int position, unsigned char c, uint64_t &word) const;
    // The range of the reversed paths that begin with c0 (then c1): tables,
    // since nearly every position of an expression text ends no path at all.
    Range startingWith(unsigned char c0) const { return first_[c0]; }
    Range startingWith(unsigned char c0, unsigned char c1) const { return second_[size_t(c0) << 8 | c1]; }
    // Smallest list position in a non-empty range.
    int firstInList(Range range) const;

    // Every path reversed, one after the other; reversed_ views into it.
    std::string buffer_;
    std::vector<std::string_view> reversed_;
    // reversed_[i] is the path at list position order_[i].
    std::vector<int> order_;
    // The first PACKED characters of reversed_[i], eight to a number (zeros
    // past the end): heads_[i] and nexts_[i]. Sorted as reversed_ is, so
    // the first narrowing steps search these numbers, which lie together,
    // and touch no text.
    static constexpr int PACKED = 16;
    std::vector<uint64_t> heads_;
    std::vector<uint64_t> nexts_;
    // Sorted positions per block of min_block_.
    static constexpr int BLOCK = 64;
    // min_block_[k][b]: smallest order_ value of the blocks [b, b + 2^k).
    std::vector<std::vector<int>> min_block_;
    std::vector<Range> first_;
    std::vector<Range> second_;
};

} // namespace parser
} // namespace inas
