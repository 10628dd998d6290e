#include "editor/cleaner/cleaner_common.h"

#include <editor_core/AssetType.h>
#include <editor_core/editor/AssetManagerPrivate.h>

#include <velmora/Log.h>

namespace cleaner {

namespace {

const int MIN_DIGITS = 3;
const int MIN_LETTERS = 3;

} // namespace

GuidTextCheck checkGuidText(const char *text)
{
    if (!text)
        return GuidTextCheck::NotGuid;
    int digits = 0;
    int lower = 0;
    int upper = 0;
    for (int i = 0; i < Velmora::UGUID::TEXT_LENGTH; ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c >= 'a' && c <= 'f')
            ++lower;
        else if (c >= 'A' && c <= 'F')
            ++upper;
        else
            return GuidTextCheck::NotGuid; // also the NUL of a shorter text
    }
    if (text[Velmora::UGUID::TEXT_LENGTH] != '\0')
        return GuidTextCheck::NotGuid;
    if (lower > 0 && upper > 0)
        return GuidTextCheck::MixedCase;
    if (digits < MIN_DIGITS || lower + upper < MIN_LETTERS)
        return GuidTextCheck::FewDigitsOrLetters;
    return GuidTextCheck::Guid;
}

bool doesLookLikeGuid(const char *text)
{
    switch (checkGuidText(text)) {
    case GuidTextCheck::Guid:
        return true;
    case GuidTextCheck::MixedCase:
        Velmora::Log::message("    PAY ATTENTION. doesLookLikeGuid. 1. data(%s)\n", text);
        return false;
    case GuidTextCheck::FewDigitsOrLetters:
        Velmora::Log::message("    PAY ATTENTION. doesLookLikeGuid. 2. data(%s)\n", text);
        return false;
    case GuidTextCheck::NotGuid:
        break;
    }
    return false;
}

bool isAliveGuid(const Editor::AssetManagerPrivate *as_manager, const Velmora::UGUID &guid, bool *is_asset)
{
    if (!as_manager || guid.isEmpty())
        return false;
    if (as_manager->hasRuntime(guid)) {
        if (is_asset)
            *is_asset = false;
        return true;
    }
    if (as_manager->hasAsset(guid)) {
        if (is_asset)
            *is_asset = true;
        return true;
    }
    return false;
}

bool isCandidateType(int type, bool is_core, bool file_flag_2, bool file_flag_0)
{
    return file_flag_2 && !is_core && !file_flag_0 && type > AssetType::BEGIN && type < AssetType::SIZE
            && type != AssetType::AFILE;
}

} // namespace cleaner
