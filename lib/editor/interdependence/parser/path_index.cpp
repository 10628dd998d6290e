#include "editor/interdependence/parser/path_index.h"

#include "core/base/parallel_for.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace inas {
namespace parser {

namespace {

// The character of a reversed path at a position, or -1 past its end, so
// that a path that ends there sorts before every longer one (as std::string
// does, comparing characters as unsigned).
int charAt(std::string_view text, int position)
{
    return size_t(position) < text.size() ? int(static_cast<unsigned char>(text[size_t(position)])) : -1;
}

// Paths of one part of the building, at least (see base::ParallelFor).
constexpr size_t PATHS_PER_THREAD = 8192;

uint64_t pack(std::string_view path, size_t from)
{
    uint64_t packed = 0;
    for (size_t c = from; c < from + 8; ++c)
        packed = packed << 8 | (c < path.size() ? static_cast<unsigned char>(path[c]) : 0u);
    return packed;
}

} // namespace

PathIndex::PathIndex(const std::vector<std::string_view> &paths)
{
    // The reversing, the sorting and the copying into the sorted lists run
    // in consecutive parts on several threads: a project of 100,000 assets
    // has its index in a few milliseconds, while its first files are read.
    const int parts = base::ParallelFor::chunks(paths.size(), PATHS_PER_THREAD);
    const std::vector<std::string_view> reversed = reverseIntoBuffer(paths, parts);
    keepSorted(reversed, sortedKeys(reversed, parts), parts);
    indexFirstCharacters();
    indexBlockMinima();
}

// Every path reversed into buffer_, viewed in list order.
std::vector<std::string_view> PathIndex::reverseIntoBuffer(const std::vector<std::string_view> &paths, int parts)
{
    const size_t count = paths.size();
    std::vector<size_t> offsets(count + 1);
    for (size_t i = 0; i < count; ++i)
        offsets[i + 1] = offsets[i] + paths[i].size();
    buffer_.resize(offsets[count]);
    std::vector<std::string_view> reversed(count);
    base::ParallelFor::run(count, parts, [&](int, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            char *const start = &buffer_[0] + offsets[i];
            std::reverse_copy(paths[i].begin(), paths[i].end(), start);
            reversed[i] = std::string_view(start, paths[i].size());
        }
    });
    return reversed;
}

// The keys of the reversed paths in their sorted order. Each part is sorted
// on a thread of its own; neighbouring sorted runs are then merged in pairs,
// round by round, into a second list. Each merge is cut into as many pieces
// as there are parts (a piece of the left run and the keys of the right run
// that go with it), so that every round, the last one too, runs on all
// threads.
std::vector<PathIndex::SortKey> PathIndex::sortedKeys(const std::vector<std::string_view> &reversed, int parts)
{
    const size_t count = reversed.size();
    const auto less = [&reversed](const SortKey &a, const SortKey &b) {
        if (a.head != b.head)
            return a.head < b.head;
        if (a.next != b.next)
            return a.next < b.next;
        const int order = reversed[size_t(a.position)].compare(reversed[size_t(b.position)]);
        return order != 0 ? order < 0 : a.position < b.position;
    };
    std::vector<SortKey> keys(count);
    base::ParallelFor::run(count, parts, [&](int, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i)
            keys[i] = SortKey{pack(reversed[i], 0), pack(reversed[i], 8), int(i)};
        std::sort(keys.begin() + std::ptrdiff_t(begin), keys.begin() + std::ptrdiff_t(end), less);
    });
    std::vector<SortKey> merged(count);
    const auto bound = [&](size_t part) { return count * std::min(part, size_t(parts)) / size_t(parts); };
    for (size_t width = 1; width < size_t(parts); width *= 2) {
        const size_t merges = (size_t(parts) + 2 * width - 1) / (2 * width);
        const size_t pieces = merges * size_t(parts);
        base::ParallelFor::run(pieces, int(std::min(pieces, size_t(parts))), [&](int, size_t first, size_t last) {
            for (size_t piece = first; piece < last; ++piece) {
                const size_t m = piece / size_t(parts);
                const size_t k = piece % size_t(parts);
                const auto begin = keys.begin();
                const auto left = begin + std::ptrdiff_t(bound(2 * width * m));
                const auto middle = begin + std::ptrdiff_t(bound(2 * width * m + width));
                const auto right = begin + std::ptrdiff_t(bound(2 * width * (m + 1)));
                if (left == middle) {
                    // No left run (never with parts of the least size).
                    if (k == 0)
                        std::copy(middle, right, merged.begin() + (middle - begin));
                    continue;
                }
                const auto cut = [&](size_t j) { return left + (middle - left) * std::ptrdiff_t(j) / parts; };
                const auto from = cut(k);
                const auto to = cut(k + 1);
                const auto other_from = k == 0 ? middle : std::lower_bound(middle, right, *from, less);
                const auto other_to = k + 1 == size_t(parts) ? right : std::lower_bound(middle, right, *to, less);
                const auto out = merged.begin() + ((from - begin) + (other_from - middle));
                std::merge(from, to, other_from, other_to, out, less);
            }
        });
        keys.swap(merged);
    }
    return keys;
}

// The reversed paths, their list positions and packed heads, in the sorted
// order the keys give.
void PathIndex::keepSorted(const std::vector<std::string_view> &reversed, const std::vector<SortKey> &keys, int parts)
{
    const size_t count = keys.size();
    reversed_.resize(count);
    order_.resize(count);
    heads_.resize(count);
    nexts_.resize(count);
    base::ParallelFor::run(count, parts, [&](int, size_t begin, size_t end) {
        for (size_t i = begin; i < end; ++i) {
            const SortKey &key = keys[i];
            reversed_[i] = reversed[size_t(key.position)];
            order_[i] = key.position;
            heads_[i] = key.head;
            nexts_[i] = key.next;
        }
    });
}

// The ranges of the first one and two characters.
void PathIndex::indexFirstCharacters()
{
    first_.assign(256, Range{0, 0});
    second_.assign(256 * 256, Range{0, 0});
    for (int i = 0; i < int(reversed_.size()); ++i) {
        const std::string_view path = reversed_[size_t(i)];
        if (path.empty())
            continue;
        Range &one = first_[static_cast<unsigned char>(path[0])];
        if (one.empty())
            one = Range{i, i};
        one.end = i + 1;
        if (path.size() < 2)
            continue;
        Range &two = second_[size_t(static_cast<unsigned char>(path[0])) << 8 | static_cast<unsigned char>(path[1])];
        if (two.empty())
            two = Range{i, i};
        two.end = i + 1;
    }
}

// The smallest list position of each block of the sorted order, and a
// sparse table over those: a range is its whole blocks plus at most two
// partial ones, scanned.
void PathIndex::indexBlockMinima()
{
    const size_t blocks = (order_.size() + BLOCK - 1) / BLOCK;
    std::vector<int> block_min(blocks);
    for (size_t b = 0; b < blocks; ++b) {
        const auto first = order_.begin() + std::ptrdiff_t(b * BLOCK);
        const auto last = order_.begin() + std::ptrdiff_t(std::min(order_.size(), (b + 1) * BLOCK));
        block_min[b] = *std::min_element(first, last);
    }
    min_block_.push_back(std::move(block_min));
    for (size_t width = 2; width <= blocks; width *= 2) {
        const std::vector<int> &previous = min_block_.back();
        std::vector<int> level(blocks - width + 1);
        for (size_t i = 0; i < level.size(); ++i)
            level[i] = std::min(previous[i], previous[i + width / 2]);
        min_block_.push_back(std::move(level));
    }
}

PathIndex::Range PathIndex::narrow(Range range, int position, unsigned char c) const
{
    const auto first = reversed_.begin() + range.begin;
    const auto last = reversed_.begin() + range.end;
    const auto lower = std::lower_bound(
            first, last, int(c), [position](std::string_view path, int ch) { return charAt(path, position) < ch; });
    const auto upper = std::upper_bound(
            lower, last, int(c), [position](int ch, std::string_view path) { return ch < charAt(path, position); });
    return {int(lower - reversed_.begin()), int(upper - reversed_.begin())};
}

PathIndex::Range PathIndex::narrow(Range range, int position, unsigned char c, uint64_t &word) const
{
    const int in_word = position % 8;
    word = (in_word == 0 ? 0 : word) << 8 | c;
    // No path holds a zero byte, and a zero in the numbers stands for the
    // end of a path: past the packed characters the texts decide.
    if (position >= PACKED || c == 0)
        return narrow(range, position, c);
    // The paths whose characters of this word so far are those of word lie
    // together: their numbers run from word followed by zeros to word
    // followed by all ones.
    const int shift = 8 * (7 - in_word);
    const uint64_t lowest = shift == 0 ? word : word << shift;
    const uint64_t highest = shift == 0 ? word : lowest | ((uint64_t(1) << shift) - 1);
    const std::vector<uint64_t> &numbers = position < 8 ? heads_ : nexts_;
    const auto first = numbers.begin() + range.begin;
    const auto last = numbers.begin() + range.end;
    const auto lower = std::lower_bound(first, last, lowest);
    const auto upper = std::upper_bound(lower, last, highest);
    return {int(lower - numbers.begin()), int(upper - numbers.begin())};
}

int PathIndex::firstInList(Range range) const
{
    const int first_block = (range.begin + BLOCK - 1) / BLOCK; // first whole block
    const int end_block = range.end / BLOCK; // past the last whole block
    if (first_block >= end_block)
        return *std::min_element(order_.begin() + range.begin, order_.begin() + range.end);
    int best = INT_MAX;
    for (int i = range.begin; i < first_block * BLOCK; ++i)
        best = std::min(best, order_[size_t(i)]);
    for (int i = end_block * BLOCK; i < range.end; ++i)
        best = std::min(best, order_[size_t(i)]);
    const int length = end_block - first_block;
    int level = 0;
    while ((2 << level) <= length)
        ++level;
    const std::vector<int> &table = min_block_[size_t(level)];
    return std::min({best, table[size_t(first_block)], table[size_t(end_block - (1 << level))]});
}

int PathIndex::firstEndingWith(std::string_view text) const
{
    if (text.empty())
        return -1;
    const auto back = [&text](size_t i) { return static_cast<unsigned char>(text[text.size() - 1 - i]); };
    Range range = text.size() == 1 ? startingWith(back(0)) : startingWith(back(0), back(1));
    uint64_t word = text.size() == 1 ? 0 : uint64_t(back(0)) << 8 | back(1);
    for (size_t i = 2; i < text.size() && !range.empty(); ++i)
        range = narrow(range, int(i), back(i), word);
    return range.empty() ? -1 : firstInList(range);
}

std::vector<int> PathIndex::containedIn(std::string_view text) const
{
    std::vector<int> found;
    for (size_t end = text.size(); end > 0; --end) {
        // The paths that end right before text[end], grown to the left.
        const unsigned char last = static_cast<unsigned char>(text[end - 1]);
        Range range = startingWith(last);
        uint64_t word = last;
        for (size_t length = 1; length <= end && !range.empty(); ++length) {
            const unsigned char c = static_cast<unsigned char>(text[end - length]);
            if (length == 2) {
                range = startingWith(last, c);
                word = word << 8 | c;
            } else if (length > 2) {
                range = narrow(range, int(length - 1), c, word);
            }
            if (range.empty())
                break;
            if (reversed_[size_t(range.begin)].size() == length)
                found.push_back(order_[size_t(range.begin)]);
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

} // namespace parser
} // namespace inas
