#include "velmora/OwnNames.h"

#include <atomic>
#include <climits>
#include <random>

#include <unistd.h>

namespace Velmora {
namespace OwnNames {

namespace {

constexpr std::string_view MARK(".velmora-");
constexpr std::string_view SCRATCH_PREFIX(".velmora-frame-");

struct Word
{
    Kind kind;
    std::string_view text;
};
constexpr Word WORDS[] = {{TEMPORARY, "tmp-"}, {KEPT, "keep-"}, {JOURNAL, "run-"}};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isAlnum(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// "<pid>-<tag>", the tag digits only or ASCII letters and digits; the pid
// in *pid.
bool parseProcessMark(std::string_view text, bool digits_only, long long *pid)
{
    size_t at = 0;
    long long value = 0;
    while (at < text.size() && isDigit(text[at]) && value <= INT_MAX)
        value = value * 10 + (text[at++] - '0');
    if (at == 0 || value <= 0 || value > INT_MAX || at == text.size() || text[at] != '-' || at + 1 == text.size())
        return false;
    for (++at; at < text.size(); ++at)
        if (!(digits_only ? isDigit(text[at]) : isAlnum(text[at])))
            return false;
    *pid = value;
    return true;
}

// Where the mark of a file kind starts in name (npos when it has none).
size_t markAt(std::string_view name, Kind *kind, long long *pid)
{
    if (name.size() < 2 || name[0] != '.')
        return std::string_view::npos;
    const size_t at = name.rfind(MARK);
    if (at == std::string_view::npos || at < 2)
        return std::string_view::npos;
    const std::string_view rest = name.substr(at + MARK.size());
    for (const Word &word : WORDS) {
        if (rest.substr(0, word.text.size()) == word.text
            && parseProcessMark(rest.substr(word.text.size()), true, pid)) {
            *kind = word.kind;
            return at;
        }
    }
    return std::string_view::npos;
}

} // namespace

std::string make(Kind kind, std::string_view file_name)
{
    static std::atomic<unsigned> counter{0};
    const std::string pid = std::to_string(static_cast<long long>(::getpid()));
    if (kind == SCRATCH) {
        thread_local std::mt19937_64 random{std::random_device{}()};
        std::string tag;
        for (unsigned long long value = random() & 0xffffffffffffULL; value > 0 || tag.empty(); value /= 36)
            tag += "0123456789abcdefghijklmnopqrstuvwxyz"[value % 36];
        return std::string(SCRATCH_PREFIX) + pid + '-' + tag;
    }
    std::string word;
    for (const Word &known : WORDS)
        if (known.kind == kind)
            word = std::string(known.text);
    return '.' + std::string(file_name) + std::string(MARK) + word + pid + '-' + std::to_string(counter.fetch_add(1));
}

Kind parse(std::string_view name, long long *pid)
{
    long long value = 0;
    Kind kind = NONE;
    if (name.substr(0, SCRATCH_PREFIX.size()) == SCRATCH_PREFIX) {
        if (!parseProcessMark(name.substr(SCRATCH_PREFIX.size()), false, &value))
            return NONE;
        kind = SCRATCH;
    } else if (markAt(name, &kind, &value) == std::string_view::npos) {
        return NONE;
    }
    if (pid)
        *pid = value;
    return kind;
}

std::string ownerName(std::string_view name)
{
    Kind kind = NONE;
    long long pid = 0;
    const size_t at = markAt(name, &kind, &pid);
    return at == std::string_view::npos ? std::string() : std::string(name.substr(1, at - 1));
}

} // namespace OwnNames
} // namespace Velmora
