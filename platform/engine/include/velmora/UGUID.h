#pragma once

#include "velmora/String.h"
#include "velmora/Vector.h"

#include <QMetaType>

#include <cstdint>

namespace Velmora {

// 160-bit identifier of assets, runtimes and files, held as five 32-bit words.
// Text form: 40 hexadecimal digits, word i = digits 8i..8i+7 (big-endian),
// written in lower case; parsed from all-lower or all-upper case, optionally
// behind "guid://". Mixed case, a wrong length or a non-hex digit parse as
// the empty GUID.
class UGUID
{
public:
    static constexpr int NUM_WORDS = 5;
    static constexpr int TEXT_LENGTH = 40;

    UGUID() = default;
    explicit UGUID(const char *text) { setString(text); }

    // Parses text; on failure the GUID becomes empty and false is returned.
    bool setString(const char *text);
    // 40 lower-case hexadecimal digits (also for the empty GUID).
    String getString() const;
    // "guid://" followed by the text form.
    String getFileSystemString() const;

    bool isEmpty() const;
    bool isValid() const { return !isEmpty(); }
    void clear();

    uint32_t getWord(int index) const { return words_[index]; }
    void setWord(int index, uint32_t value) { words_[index] = value; }

    // True when text (with or without "guid://") parses as a GUID.
    static bool isGUIDText(const char *text);
    static UGUID fromString(const char *text) { return UGUID(text); }

    // 160 random bits, drawn again until the text is usable (at least five
    // decimal digits and five letters).
    static UGUID generate();
    // SHA-1 of the UTF-8 data-relative path, retried with "\n1", "\n2", ...
    // until usable: the GUID of a file that has no meta file.
    static UGUID fromPath(const char *data_relative_path);
    // SHA-1 of "<guid text>:<salt>" with the same retry rule: virtual runtimes
    // of an asset ("material", "property") and built-ins ("builtin:<name>").
    static UGUID derive(const UGUID &base, const char *salt);
    // Whether a 40-digit text has at least five digits and five letters.
    static bool isUsableText(const char *text);

    bool operator==(const UGUID &other) const;
    bool operator!=(const UGUID &other) const { return !(*this == other); }
    bool operator<(const UGUID &other) const;

    unsigned int hash() const { return ((words_[0] ^ words_[1]) << 5) ^ words_[2] ^ words_[3] ^ words_[4]; }

private:
    uint32_t words_[NUM_WORDS] = {0, 0, 0, 0, 0};
};

inline unsigned int qHash(const UGUID &guid, unsigned int seed = 0)
{
    return guid.hash() ^ seed;
}

// Registers the meta-types of this header with Qt (repeat calls are harmless).
void registerGUIDMetaTypes();

} // namespace Velmora

namespace std {
template<>
struct hash<Velmora::UGUID>
{
    size_t operator()(const Velmora::UGUID &guid) const { return guid.hash(); }
};
} // namespace std

Q_DECLARE_METATYPE(Velmora::UGUID)
Q_DECLARE_METATYPE(Velmora::Vector<Velmora::UGUID>)
