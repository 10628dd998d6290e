#include "velmora/UGUID.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QMetaType>
#include <QRandomGenerator>

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

UGUID fromDigest(const QByteArray &digest)
{
    UGUID guid;
    const auto *bytes = reinterpret_cast<const unsigned char *>(digest.constData());
    for (int w = 0; w < UGUID::NUM_WORDS; w++) {
        guid.setWord(w,
                     (uint32_t(bytes[w * 4]) << 24) | (uint32_t(bytes[w * 4 + 1]) << 16)
                             | (uint32_t(bytes[w * 4 + 2]) << 8) | uint32_t(bytes[w * 4 + 3]));
    }
    return guid;
}

// SHA-1 of text, then of text + "\n1", "\n2", ... until the GUID is usable.
UGUID usableHash(const QByteArray &text)
{
    for (int attempt = 0;; attempt++) {
        QByteArray input = text;
        if (attempt > 0)
            input += "\n" + QByteArray::number(attempt);
        const UGUID guid = fromDigest(QCryptographicHash::hash(input, QCryptographicHash::Sha1));
        if (UGUID::isUsableText(guid.getString().get()))
            return guid;
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
    return usableHash(QByteArray(data_relative_path ? data_relative_path : ""));
}

UGUID UGUID::derive(const UGUID &base, const char *salt)
{
    QByteArray text(base.getString().get());
    text += ':';
    text += salt ? salt : "";
    return usableHash(text);
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
