#pragma once

#include <QRegularExpression>
#include <QString>
#include <QThread>

#include <cstdint>

namespace tprof {

class TexturesList;

// Reads the output of the console command "render_streaming_list" into a
// texture list. Only plain messages (kind 0) printed on the thread that made
// the parser count; everything before the table's header line (two dashes,
// then a line that mentions "texture") is ignored. Console text is outside
// input: a line that does not parse is skipped, with a warning when it looks
// like a table row whose sizes, resolution or path are unreadable.
class LogParser
{
public:
    explicit LogParser(TexturesList *data);

    void onConsoleOutput(const char *text, int kind);
    // One table line; true when it added a texture.
    bool parseLine(const QString &line);

    // "1.5MB" -> 1572864: a number with an optional K, M, G or T (powers of
    // 1024) and "B". False for text that is not such a size or does not fit
    // 64 bits.
    bool parseSize(const QString &text, uint64_t *bytes) const;

    bool hasStarted() const { return started_; }
    // Table lines skipped because a size, the resolution or the path could
    // not be read.
    int malformedLines() const { return malformed_lines_; }

private:
    void skipMalformed(const QString &line, const char *reason);

    Qt::HANDLE thread_ = nullptr;
    TexturesList *data_ = nullptr;
    QRegularExpression line_regexp_;
    QRegularExpression number_regexp_;
    bool started_ = false;
    int malformed_lines_ = 0;
};

} // namespace tprof
