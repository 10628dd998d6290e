#pragma once

#include "velmora/Ptr.h"
#include "velmora/String.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace Velmora {

// A byte stream.
class Stream
{
public:
    virtual ~Stream() = default;

    virtual bool isOpened() const = 0;
    // Bytes actually read or written.
    virtual size_t read(void *buffer, size_t size) = 0;
    virtual size_t write(const void *buffer, size_t size) = 0;
    virtual bool eof() const = 0;

    // Reads up to size - 1 bytes, stopping after a newline, and terminates
    // them with NUL. Returns the bytes read (newline included); a longer
    // line arrives over several calls. 0 at the end.
    int readLine(char *buffer, int size);
    // A whole line without its "\n" (and "\r"); false at the end.
    bool readLine(String &line);
    size_t writeString(const char *text);
    virtual int getc();
};

// A plain file by absolute UTF-8 path, opened with an fopen mode ("rb",
// "wb", "ab", "r+b", ...). A file that cannot be opened gives one warning
// and isOpened() false.
class File : public Stream
{
public:
    static Ptr<File> create();
    static Ptr<File> create(const char *path, const char *mode = "rb");

    File() = default;
    ~File() override;
    File(const File &) = delete;
    File &operator=(const File &) = delete;

    bool open(const char *path, const char *mode = "rb");
    bool close();
    bool isOpened() const override { return file_ != nullptr; }
    const char *getPath() const { return path_.get(); }

    size_t read(void *buffer, size_t size) override;
    size_t write(const void *buffer, size_t size) override;
    bool eof() const override;
    int getc() override;

    // Size in bytes (64-bit); -1 when not open.
    int64_t getSize() const;
    int64_t tell() const;
    bool seekSet(int64_t offset);
    bool seekEnd(int64_t offset = 0);
    bool seekCur(int64_t offset);
    bool flush();

    // The whole file; "" with one warning when it cannot be read.
    static String readAll(const char *path);
    static bool isFile(const char *path);

private:
    FILE *file_ = nullptr;
    String path_;
};

} // namespace Velmora
