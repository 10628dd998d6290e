#include "velmora/String.h"

#include "log_internal.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace Velmora {

namespace {

char lowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}
char upperAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}
bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}
bool isSlash(char c)
{
    return c == '/' || c == '\\';
}

// Index of the dot that starts the extension of the last path component,
// npos when there is none (a leading dot names a hidden file, not an extension).
size_t extensionDot(const std::string &s)
{
    size_t name_start = 0;
    for (size_t i = s.size(); i > 0; i--) {
        if (isSlash(s[i - 1])) {
            name_start = i;
            break;
        }
    }
    const size_t dot = s.rfind('.');
    if (dot == std::string::npos || dot < name_start || dot == name_start)
        return std::string::npos;
    return dot;
}

} // namespace

char String::operator[](int index) const
{
    VELMORA_ASSERT(index >= 0 && index < size());
    return data_[size_t(index)];
}

Vector<String> String::split(const char *delimiters) const
{
    Vector<String> result;
    const char *delims = delimiters ? delimiters : "";
    const size_t num_delims = std::strlen(delims);
    std::string piece;
    for (char c : data_) {
        if (num_delims && std::memchr(delims, c, num_delims)) {
            result.append(String(piece));
            piece.clear();
        } else {
            piece += c;
        }
    }
    result.append(String(piece));
    return result;
}

String String::basename() const
{
    for (size_t i = data_.size(); i > 0; i--) {
        if (isSlash(data_[i - 1]))
            return String(data_.substr(i));
    }
    return *this;
}

String String::extension() const
{
    const size_t dot = extensionDot(data_);
    return dot == std::string::npos ? String() : String(data_.substr(dot + 1));
}

String String::removeExtension() const
{
    const size_t dot = extensionDot(data_);
    return dot == std::string::npos ? *this : String(data_.substr(0, dot));
}

String String::pathname() const
{
    for (size_t i = data_.size(); i > 0; i--) {
        if (isSlash(data_[i - 1]))
            return String(data_.substr(0, i));
    }
    return String();
}

String String::lower() const
{
    std::string result = data_;
    for (char &c : result)
        c = lowerAscii(c);
    return String(std::move(result));
}

String String::upper() const
{
    std::string result = data_;
    for (char &c : result)
        c = upperAscii(c);
    return String(std::move(result));
}

int String::find(const char *what, int from) const
{
    if (!what || from < 0 || from > size())
        return -1;
    const size_t pos = data_.find(what, size_t(from));
    return pos == std::string::npos ? -1 : int(pos);
}

int String::find(char what, int from) const
{
    if (from < 0 || from > size())
        return -1;
    const size_t pos = data_.find(what, size_t(from));
    return pos == std::string::npos ? -1 : int(pos);
}

int String::rfind(char what) const
{
    const size_t pos = data_.rfind(what);
    return pos == std::string::npos ? -1 : int(pos);
}

bool String::startsWith(const char *prefix, bool case_insensitive) const
{
    if (!prefix)
        return true;
    const size_t n = std::strlen(prefix);
    if (n > data_.size())
        return false;
    for (size_t i = 0; i < n; i++) {
        const char a = case_insensitive ? lowerAscii(data_[i]) : data_[i];
        const char b = case_insensitive ? lowerAscii(prefix[i]) : prefix[i];
        if (a != b)
            return false;
    }
    return true;
}

bool String::endsWith(const char *suffix, bool case_insensitive) const
{
    if (!suffix)
        return true;
    const size_t n = std::strlen(suffix);
    if (n > data_.size())
        return false;
    const size_t offset = data_.size() - n;
    for (size_t i = 0; i < n; i++) {
        const char a = case_insensitive ? lowerAscii(data_[offset + i]) : data_[offset + i];
        const char b = case_insensitive ? lowerAscii(suffix[i]) : suffix[i];
        if (a != b)
            return false;
    }
    return true;
}

String String::substr(int position, int length) const
{
    if (position < 0)
        position = 0;
    if (position >= size())
        return String();
    const size_t count = length < 0 ? std::string::npos : size_t(length);
    return String(data_.substr(size_t(position), count));
}

String String::trim() const
{
    size_t begin = 0;
    size_t end = data_.size();
    while (begin < end && isBlank(data_[begin]))
        begin++;
    while (end > begin && isBlank(data_[end - 1]))
        end--;
    return String(data_.substr(begin, end - begin));
}

int String::compare(const String &other, bool case_insensitive) const
{
    const size_t n = std::min(data_.size(), other.data_.size());
    for (size_t i = 0; i < n; i++) {
        unsigned char a = static_cast<unsigned char>(case_insensitive ? lowerAscii(data_[i]) : data_[i]);
        unsigned char b = static_cast<unsigned char>(case_insensitive ? lowerAscii(other.data_[i]) : other.data_[i]);
        if (a != b)
            return a < b ? -1 : 1;
    }
    if (data_.size() == other.data_.size())
        return 0;
    return data_.size() < other.data_.size() ? -1 : 1;
}

uint32_t String::hash() const
{
    // FNV-1a: stable across runs and platforms.
    uint32_t h = 2166136261u;
    for (char c : data_) {
        h ^= static_cast<unsigned char>(c);
        h *= 16777619u;
    }
    return h;
}

String String::format(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::string text = detail::vformat(format, args);
    va_end(args);
    return String(std::move(text));
}

String String::memory(uint64_t bytes)
{
    static const char *const units[] = {"KB", "MB", "GB", "TB", "PB"};
    if (bytes < 1024)
        return format("%llu B", static_cast<unsigned long long>(bytes));
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        unit++;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%.1f", value);
    std::string number = buffer;
    if (number.size() > 2 && number.compare(number.size() - 2, 2, ".0") == 0)
        number.resize(number.size() - 2);
    return String(number + " " + units[unit]);
}

} // namespace Velmora
