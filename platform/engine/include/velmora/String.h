#pragma once

#include "velmora/Vector.h"

#include <cstdint>
#include <string>

namespace Velmora {

// UTF-8 byte string of the engine. Length-aware: embedded NUL bytes are kept.
class String
{
public:
    String() = default;
    String(const char *text)
        : data_(text ? text : "")
    {}
    String(const char *text, int size)
        : data_(text ? std::string(text, size_t(size > 0 ? size : 0)) : std::string())
    {}
    String(const std::string &text)
        : data_(text)
    {}
    String(std::string &&text)
        : data_(std::move(text))
    {}

    const char *get() const { return data_.c_str(); }
    const char *c_str() const { return data_.c_str(); }
    int size() const { return int(data_.size()); }
    bool empty() const { return data_.empty(); }
    bool isEmpty() const { return data_.empty(); }
    char operator[](int index) const;
    const std::string &std() const { return data_; }

    void clear() { data_.clear(); }
    String &operator+=(const String &other)
    {
        data_ += other.data_;
        return *this;
    }
    String &operator+=(const char *other)
    {
        data_ += other ? other : "";
        return *this;
    }
    String &operator+=(char c)
    {
        data_ += c;
        return *this;
    }

    // Splits at every character of delimiters; results are untrimmed and
    // empty pieces are kept.
    Vector<String> split(const char *delimiters) const;
    // File name without folder ("a/b/c.png" -> "c.png").
    String basename() const;
    // Extension without the dot ("c.png" -> "png", "" when none).
    String extension() const;
    String removeExtension() const;
    // Folder part with a trailing "/" ("a/b/c.png" -> "a/b/"), "" when none.
    String pathname() const;
    String lower() const;
    String upper() const;
    // Byte index of the first occurrence at or after from, -1 when absent.
    int find(const char *what, int from = 0) const;
    int find(char what, int from = 0) const;
    int rfind(char what) const;
    bool startsWith(const char *prefix, bool case_insensitive = false) const;
    bool endsWith(const char *suffix, bool case_insensitive = false) const;
    String substr(int position, int length = -1) const;
    String trim() const;
    bool contains(const char *what) const { return find(what) != -1; }
    // <0, 0, >0 like strcmp.
    int compare(const String &other, bool case_insensitive = false) const;
    uint32_t hash() const;

    static String format(const char *format, ...) __attribute__((format(printf, 1, 2)));
    // Human readable byte count, such as "1.5 MB".
    static String memory(uint64_t bytes);

    friend String operator+(const String &a, const String &b) { return String(a.data_ + b.data_); }
    friend String operator+(const String &a, const char *b) { return String(a.data_ + (b ? b : "")); }
    friend String operator+(const char *a, const String &b) { return String((a ? a : "") + b.data_); }
    bool operator==(const String &other) const { return data_ == other.data_; }
    bool operator!=(const String &other) const { return data_ != other.data_; }
    bool operator==(const char *other) const { return data_ == (other ? other : ""); }
    bool operator!=(const char *other) const { return !(*this == other); }
    bool operator<(const String &other) const { return data_ < other.data_; }

private:
    std::string data_;
};

inline unsigned int qHash(const String &s, unsigned int seed = 0)
{
    return s.hash() ^ seed;
}

} // namespace Velmora
