#include "velmora/File.h"

#include "velmora/Log.h"

#include "engine_internal.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstring>

#include <unistd.h>

namespace Velmora {

// ---- Stream ----

int Stream::getc()
{
    unsigned char c = 0;
    return read(&c, 1) == 1 ? int(c) : -1;
}

int Stream::readLine(char *buffer, int size)
{
    VELMORA_ASSERT(buffer != nullptr && size > 0);
    int count = 0;
    while (count < size - 1) {
        const int c = getc();
        if (c < 0)
            break;
        buffer[count++] = char(c);
        if (c == '\n')
            break;
    }
    buffer[count] = '\0';
    return count;
}

bool Stream::readLine(String &line)
{
    std::string text;
    bool any = false;
    for (int c = getc(); c >= 0; c = getc()) {
        any = true;
        if (c == '\n')
            break;
        text += char(c);
    }
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    line = String(std::move(text));
    return any;
}

size_t Stream::writeString(const char *text)
{
    return text ? write(text, std::strlen(text)) : 0;
}

// ---- File ----

Ptr<File> File::create()
{
    return Ptr<File>(new File);
}

Ptr<File> File::create(const char *path, const char *mode)
{
    Ptr<File> file(new File);
    file->open(path, mode);
    return file;
}

File::~File()
{
    close();
}

bool File::open(const char *path, const char *mode)
{
    close();
    if (!path || !*path || !mode || !*mode) {
        Log::warning("File::open(): empty path or mode\n");
        return false;
    }
    if (QFileInfo(QString::fromUtf8(path)).isDir()) {
        Log::warning("File::open(): \"%s\" is a folder\n", path);
        return false;
    }
    if (mode[0] == 'r' && !std::strchr(mode, '+')) {
        // A reader never waits on a FIFO or reads a device for ever.
        const int fd = engine_internal::openRegularFile(path);
        file_ = fd < 0 ? nullptr : ::fdopen(fd, mode);
        if (fd >= 0 && !file_)
            ::close(fd);
    } else {
        file_ = std::fopen(QFile::encodeName(QString::fromUtf8(path)).constData(), mode);
    }
    if (!file_) {
        Log::warning("File::open(): can't open \"%s\" with mode \"%s\"\n", path, mode);
        return false;
    }
    path_ = path;
    return true;
}

bool File::close()
{
    if (!file_)
        return false;
    const bool ok = std::fclose(file_) == 0;
    file_ = nullptr;
    path_.clear();
    return ok;
}

size_t File::read(void *buffer, size_t size)
{
    if (!file_ || !buffer || size == 0)
        return 0;
    return std::fread(buffer, 1, size, file_);
}

size_t File::write(const void *buffer, size_t size)
{
    if (!file_ || !buffer || size == 0)
        return 0;
    return std::fwrite(buffer, 1, size, file_);
}

bool File::eof() const
{
    if (!file_)
        return true;
    // True once the position reached the end, also before a read hit it.
    const int c = std::fgetc(file_);
    if (c == EOF)
        return true;
    std::ungetc(c, file_);
    return false;
}

int File::getc()
{
    if (!file_)
        return -1;
    const int c = std::fgetc(file_);
    return c == EOF ? -1 : c;
}

int64_t File::getSize() const
{
    if (!file_)
        return -1;
    const off_t position = ftello(file_);
    if (fseeko(file_, 0, SEEK_END) != 0)
        return -1;
    const off_t size = ftello(file_);
    fseeko(file_, position, SEEK_SET);
    return int64_t(size);
}

int64_t File::tell() const
{
    return file_ ? int64_t(ftello(file_)) : -1;
}

bool File::seekSet(int64_t offset)
{
    return file_ && fseeko(file_, off_t(offset), SEEK_SET) == 0;
}

bool File::seekEnd(int64_t offset)
{
    return file_ && fseeko(file_, off_t(offset), SEEK_END) == 0;
}

bool File::seekCur(int64_t offset)
{
    return file_ && fseeko(file_, off_t(offset), SEEK_CUR) == 0;
}

bool File::flush()
{
    return file_ && std::fflush(file_) == 0;
}

String File::readAll(const char *path)
{
    QByteArray bytes;
    if (!path || !*path || !engine_internal::readFile(String(path), bytes)) {
        Log::warning("File::readAll(): can't read \"%s\"\n", path ? path : "");
        return String();
    }
    return String(bytes.constData(), bytes.size());
}

bool File::isFile(const char *path)
{
    return path && *path && QFileInfo(QString::fromUtf8(path)).isFile();
}

} // namespace Velmora
