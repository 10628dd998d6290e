#include "editor/interdependence/parser/lookup_cache.h"

namespace inas {
namespace parser {

namespace {

thread_local LookupCache *innermost = nullptr;

} // namespace

LookupCache::LookupCache()
    : previous_(innermost)
{
    innermost = this;
}

LookupCache::~LookupCache()
{
    innermost = previous_;
}

LookupCache *LookupCache::current()
{
    return innermost;
}

void LookupCache::adopt(const void *owner)
{
    if (owner_ == owner)
        return;
    answers_.clear();
    owner_ = owner;
}

const LookupCache::Answer *LookupCache::find(const void *owner, std::string_view text)
{
    adopt(owner);
    key_.assign(text.data(), text.size());
    const auto found = answers_.find(key_);
    return found == answers_.end() ? nullptr : &found->second;
}

void LookupCache::insert(const void *owner, std::string_view text, const Answer &answer)
{
    adopt(owner);
    if (answers_.size() >= MAX_ENTRIES)
        answers_.clear();
    answers_.emplace(std::string(text), answer);
}

} // namespace parser
} // namespace inas
