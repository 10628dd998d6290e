#include "velmora/UGUID.h"

#include <QMetaType>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace Velmora {

namespace {

const char GUID_PREFIX[] = "guid://";
const int GUID_PREFIX_LENGTH = 7;

// Each byte's value as a hexadecimal digit (-1: none) and its case (1: a
// lower-case letter, 2: an upper-case one).
struct HexDigits
{
    int8_t value[256] = {};
    uint8_t letter_case[256] = {};

    constexpr HexDigits()
    {
        for (int c = 0; c < 256; ++c) {
            value[c] = -1;
            letter_case[c] = 0;
        }
        for (int c = '0'; c <= '9'; ++c)
            value[c] = int8_t(c - '0');
        for (int c = 0; c < 6; ++c) {
            value['a' + c] = value['A' + c] = int8_t(10 + c);
            letter_case['a' + c] = 1;
            letter_case['A' + c] = 2;
        }
    }
};

constexpr HexDigits HEX_DIGITS;

// Parses 40 hexadecimal digits (optionally behind "guid://") into words;
// false for a wrong length, a non-hex digit or mixed case. Every meta
// file's GUID is read here at start-up, so by table.
bool parseWords(const char *text, uint32_t *words)
{
    if (!text)
        return false;
    if (std::strncmp(text, GUID_PREFIX, GUID_PREFIX_LENGTH) == 0)
        text += GUID_PREFIX_LENGTH;
    if (std::strlen(text) != size_t(UGUID::TEXT_LENGTH))
        return false;
    unsigned cases = 0;
    for (int w = 0; w < UGUID::NUM_WORDS; w++) {
        uint32_t value = 0;
        for (int i = 0; i < 8; i++) {
            const unsigned char c = static_cast<unsigned char>(text[w * 8 + i]);
            const int digit = HEX_DIGITS.value[c];
            if (digit < 0)
                return false;
            value = (value << 4) | uint32_t(digit);
            cases |= HEX_DIGITS.letter_case[c];
        }
        words[w] = value;
    }
    return cases != 3;
}

// SHA-1 over a few pieces of text, with no allocation: GUIDs are derived
// for every file at start-up.
class Sha1
{
public:
    void add(const char *data, size_t size)
    {
        const auto *bytes = reinterpret_cast<const unsigned char *>(data);
        total_ += size;
        if (used_ > 0) {
            const size_t take = std::min(size, sizeof(block_) - used_);
            std::memcpy(block_ + used_, bytes, take);
            used_ += take;
            bytes += take;
            size -= take;
            if (used_ < sizeof(block_))
                return;
            compress(block_);
            used_ = 0;
        }
        for (; size >= sizeof(block_); bytes += sizeof(block_), size -= sizeof(block_))
            compress(bytes);
        std::memcpy(block_, bytes, size);
        used_ = size;
    }

    // The digest as five big-endian words.
    void finish(uint32_t *words)
    {
        const uint64_t bits = uint64_t(total_) * 8;
        block_[used_++] = 0x80;
        if (used_ > 56) {
            std::memset(block_ + used_, 0, sizeof(block_) - used_);
            compress(block_);
            used_ = 0;
        }
        std::memset(block_ + used_, 0, 56 - used_);
        for (int i = 0; i < 8; i++)
            block_[56 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
        compress(block_);
        std::memcpy(words, state_, sizeof(state_));
    }

private:
    static uint32_t rotate(uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

    void compress(const unsigned char *block)
    {
        uint32_t w[80];
        for (int i = 0; i < 16; i++)
            w[i] = (uint32_t(block[i * 4]) << 24) | (uint32_t(block[i * 4 + 1]) << 16)
                    | (uint32_t(block[i * 4 + 2]) << 8) | uint32_t(block[i * 4 + 3]);
        for (int i = 16; i < 80; i++)
            w[i] = rotate(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];
        const auto round = [&](uint32_t f, uint32_t k, uint32_t word) {
            const uint32_t next = rotate(a, 5) + f + e + k + word;
            e = d;
            d = c;
            c = rotate(b, 30);
            b = a;
            a = next;
        };
        for (int i = 0; i < 20; i++)
            round((b & c) | (~b & d), 0x5a827999, w[i]);
        for (int i = 20; i < 40; i++)
            round(b ^ c ^ d, 0x6ed9eba1, w[i]);
        for (int i = 40; i < 60; i++)
            round((b & c) | (b & d) | (c & d), 0x8f1bbcdc, w[i]);
        for (int i = 60; i < 80; i++)
            round(b ^ c ^ d, 0xca62c1d6, w[i]);
        state_[0] += a;
        state_[1] += b;
        state_[2] += c;
        state_[3] += d;
        state_[4] += e;
    }

    uint32_t state_[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
    unsigned char block_[64] = {};
    size_t used_ = 0;
    size_t total_ = 0;
};

// What isUsableText says of the GUID's text: its digits are the words'
// nibbles.
bool usableWords(const uint32_t *words)
{
    int digits = 0;
    for (int w = 0; w < UGUID::NUM_WORDS; w++)
        for (int i = 0; i < 32; i += 4)
            digits += ((words[w] >> i) & 0xf) < 10;
    const int letters = UGUID::TEXT_LENGTH - digits;
    return digits >= 5 && letters >= 5;
}

// SHA-1 of prefix + text, then of prefix + text + "\n1", "\n2", ... until the
// GUID is usable.
UGUID usableHash(const char *prefix, size_t prefix_size, const char *text)
{
    const size_t size = std::strlen(text);
    Sha1 start;
    start.add(prefix, prefix_size);
    start.add(text, size);
    UGUID guid;
    for (int attempt = 0;; attempt++) {
        Sha1 hash = start;
        if (attempt > 0) {
            char suffix[16];
            const int length = std::snprintf(suffix, sizeof(suffix), "\n%d", attempt);
            hash.add(suffix, size_t(length));
        }
        uint32_t words[UGUID::NUM_WORDS];
        hash.finish(words);
        if (usableWords(words)) {
            for (int w = 0; w < UGUID::NUM_WORDS; w++)
                guid.setWord(w, words[w]);
            return guid;
        }
    }
}

} // namespace

bool UGUID::setString(const char *text)
{
    uint32_t words[NUM_WORDS];
    if (!parseWords(text, words)) {
        clear();
        return false;
    }
    std::memcpy(words_, words, sizeof(words_));
    return true;
}

String UGUID::getString() const
{
    // Each word as eight lower-case hexadecimal digits.
    static const char DIGITS[] = "0123456789abcdef";
    char buffer[TEXT_LENGTH];
    for (int w = 0; w < NUM_WORDS; w++)
        for (int i = 0; i < 8; i++)
            buffer[w * 8 + i] = DIGITS[(words_[w] >> (28 - 4 * i)) & 0xf];
    return String(buffer, TEXT_LENGTH);
}

String UGUID::getFileSystemString() const
{
    return String(GUID_PREFIX) + getString();
}

bool UGUID::isEmpty() const
{
    for (uint32_t word : words_)
        if (word != 0)
            return false;
    return true;
}

void UGUID::clear()
{
    std::memset(words_, 0, sizeof(words_));
}

bool UGUID::isGUIDText(const char *text)
{
    uint32_t words[NUM_WORDS];
    return parseWords(text, words);
}

UGUID UGUID::generate()
{
    QRandomGenerator *random = QRandomGenerator::system();
    for (;;) {
        UGUID guid;
        for (int w = 0; w < NUM_WORDS; w++)
            guid.words_[w] = random->generate();
        if (isUsableText(guid.getString().get()))
            return guid;
    }
}

UGUID UGUID::fromPath(const char *data_relative_path)
{
    return usableHash("", 0, data_relative_path ? data_relative_path : "");
}

UGUID UGUID::derive(const UGUID &base, const char *salt)
{
    // The base's text and a colon, then the salt.
    static const char DIGITS[] = "0123456789abcdef";
    char prefix[TEXT_LENGTH + 1];
    for (int w = 0; w < NUM_WORDS; w++)
        for (int i = 0; i < 8; i++)
            prefix[w * 8 + i] = DIGITS[(base.words_[w] >> (28 - 4 * i)) & 0xf];
    prefix[TEXT_LENGTH] = ':';
    return usableHash(prefix, sizeof(prefix), salt ? salt : "");
}

bool UGUID::isUsableText(const char *text)
{
    if (!text || std::strlen(text) != size_t(TEXT_LENGTH))
        return false;
    int digits = 0;
    int letters = 0;
    for (const char *p = text; *p; ++p) {
        if (*p >= '0' && *p <= '9')
            digits++;
        else if ((*p >= 'a' && *p <= 'f') || (*p >= 'A' && *p <= 'F'))
            letters++;
        else
            return false;
    }
    return digits >= 5 && letters >= 5;
}

bool UGUID::operator==(const UGUID &other) const
{
    return std::memcmp(words_, other.words_, sizeof(words_)) == 0;
}

bool UGUID::operator<(const UGUID &other) const
{
    for (int w = 0; w < NUM_WORDS; w++) {
        if (words_[w] != other.words_[w])
            return words_[w] < other.words_[w];
    }
    return false;
}

void registerGUIDMetaTypes()
{
    qRegisterMetaType<Velmora::UGUID>("Velmora::UGUID");
    qRegisterMetaType<Velmora::Vector<Velmora::UGUID>>("Velmora::Vector<Velmora::UGUID>");
}

} // namespace Velmora
