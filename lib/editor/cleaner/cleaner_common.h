#pragma once

#include <velmora/UGUID.h>

namespace Editor {
class AssetManagerPrivate;
}

// Small helpers shared by the cleaner's parser, collector and windows.
namespace cleaner {

// How a text measures up against the cleaner's GUID-text rule.
enum class GuidTextCheck {
    NotGuid, // not 40 hex digits (or longer, or null)
    Guid,
    MixedCase, // upper- and lower-case letters together
    FewDigitsOrLetters, // fewer than 3 digits or fewer than 3 letters
};

// The rule without any log line.
GuidTextCheck checkGuidText(const char *text);

// Whether text (NUL-terminated) reads as a GUID: exactly 40 hexadecimal
// digits of one letter case with at least 3 digits and 3 letters. The two
// near misses (mixed case; too few digits or letters) are written to the
// engine log.
bool doesLookLikeGuid(const char *text);

// Whether the asset manager knows guid as a runtime (then *is_asset becomes
// false) or else as an asset (then *is_asset becomes true); *is_asset is
// left alone when neither.
bool isAliveGuid(const Editor::AssetManagerPrivate *as_manager, const Velmora::UGUID &guid, bool *is_asset = nullptr);

// Whether an asset may be reported unused at all: its own file is in the
// data folder (file flag 2), it is not core and not read-only (file flag 0),
// and its type is 1..23 but not the plain file (21).
bool isCandidateType(int type, bool is_core, bool file_flag_2, bool file_flag_0);

} // namespace cleaner
