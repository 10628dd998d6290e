#include "editor/texture_profiler/data/log_parser.h"

#include "editor/texture_profiler/data/textures_list.h"

#include <velmora/Log.h>

#include <cmath>

namespace tprof {

namespace {

const char *const LINE_PATTERN
        = R"(^\s+((?:.*: ))([BKMGT\.\d]+)\/([BKMGT\.\d]+)\s+\((not loaded|(\w+)\s+(\d+)x(\d+))\)\s*$)";
const char *const NUMBER_PATTERN = R"(^(\d[\.\d]*)([KMGT]*)B+$)";

} // namespace

LogParser::LogParser(TexturesList *data)
    : thread_(QThread::currentThreadId())
    , data_(data)
    , line_regexp_(QString::fromLatin1(LINE_PATTERN))
    , number_regexp_(QString::fromLatin1(NUMBER_PATTERN))
{
    Q_ASSERT(data_ && line_regexp_.isValid() && number_regexp_.isValid());
}

void LogParser::onConsoleOutput(const char *text, int kind)
{
    if (!text || !*text || kind != 0 || QThread::currentThreadId() != thread_)
        return;
    // The engine prints UTF-8; paths outside ASCII must reach the asset
    // lookup unchanged.
    const QString line = QString::fromUtf8(text);
    if (!started_) {
        started_ = line.startsWith(QLatin1String("--")) && line.contains(QLatin1String("texture"));
        return;
    }
    parseLine(line);
}

bool LogParser::parseLine(const QString &line)
{
    const QRegularExpressionMatch match = line_regexp_.match(line);
    if (!match.hasMatch() || !data_)
        return false;
    const int groups = match.lastCapturedIndex();
    if (groups != 4 && groups != 7)
        return false;
    QString path = match.captured(1);
    if (path.size() <= 2) {
        skipMalformed(line, "no path");
        return false;
    }
    path.chop(2);
    if (TexturesList::dataRelativePath(path).isEmpty()) {
        skipMalformed(line, "path outside the data folder");
        return false;
    }
    uint64_t ram = 0;
    uint64_t vram = 0;
    if (!parseSize(match.captured(2), &ram) || !parseSize(match.captured(3), &vram)) {
        skipMalformed(line, "unreadable size");
        return false;
    }
    if (groups == 4)
        return data_->addNotLoaded(path, ram, vram);
    bool width_ok = false;
    bool height_ok = false;
    const int width = match.captured(6).toInt(&width_ok);
    const int height = match.captured(7).toInt(&height_ok);
    if (!width_ok || !height_ok) {
        skipMalformed(line, "unreadable resolution");
        return false;
    }
    return data_->add(path, match.captured(5), ram, vram, width, height);
}

bool LogParser::parseSize(const QString &text, uint64_t *bytes) const
{
    *bytes = 0;
    const QRegularExpressionMatch match = number_regexp_.match(text);
    if (!match.hasMatch())
        return false;
    bool ok = false;
    double value = match.captured(1).toDouble(&ok);
    if (!ok)
        return false;
    const QString unit = match.captured(2);
    if (!unit.isEmpty()) {
        switch (unit.at(0).toLatin1()) {
        case 'K':
            value *= 1024.0;
            break;
        case 'M':
            value *= 1048576.0;
            break;
        case 'G':
            value *= 1073741824.0;
            break;
        case 'T':
            value *= 1099511627776.0;
            break;
        default:
            return false;
        }
    }
    // 2^64: anything at or above it does not fit.
    if (!std::isfinite(value) || value >= 18446744073709551616.0)
        return false;
    *bytes = uint64_t(value);
    return true;
}

void LogParser::skipMalformed(const QString &line, const char *reason)
{
    ++malformed_lines_;
    Velmora::Log::warning("Texture Profiler: skipped a streaming list line (%s): \"%s\"\n", reason,
                          line.trimmed().toUtf8().constData());
}

} // namespace tprof
