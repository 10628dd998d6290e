#include "editor/assembly/core/impl/file_processing/tool_output.h"

#include <QRegularExpression>
#include <QtDebug>

namespace assembly {

void ToolOutput::append(const QString &chunk)
{
    static const QRegularExpression line_end(QStringLiteral("\\r\\n|\\r|\\n"));
    QString text = pending_ + chunk;
    // A "\r" at the very end may be the first half of "\r\n".
    int keep_from = text.size();
    int from = 0;
    QRegularExpressionMatchIterator it = line_end.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedEnd() == text.size() && match.captured() == QLatin1String("\r")) {
            keep_from = from;
            break;
        }
        addLine(text.mid(from, match.capturedStart() - from));
        from = match.capturedEnd();
    }
    pending_ = text.mid(qMin(from, keep_from));
}

void ToolOutput::finish()
{
    addLine(pending_);
    pending_.clear();
}

void ToolOutput::addLine(const QString &line)
{
    const QString simple = line.simplified();
    if (simple.isEmpty())
        return;
    lines_ << simple;
    levels_ << levelOf(simple);
}

int ToolOutput::levelOf(const QString &line)
{
    static const QRegularExpression error(QStringLiteral("^.*(\\(\\d+,\\d+\\)): error"));
    static const QRegularExpression warning(QStringLiteral("^.*(\\(\\d+,\\d+\\)): warning"));
    if (error.match(line).hasMatch())
        return LEVEL_ERROR;
    if (warning.match(line).hasMatch())
        return LEVEL_WARNING;
    return LEVEL_OTHER;
}

void ToolOutput::log() const
{
    for (int i = 0; i < lines_.size(); ++i) {
        const QByteArray line = lines_.at(i).toUtf8();
        switch (levels_.at(i)) {
        case LEVEL_ERROR:
            qCritical("%s", line.constData());
            break;
        case LEVEL_WARNING:
            qWarning("%s", line.constData());
            break;
        default:
            qInfo("%s", line.constData());
            break;
        }
    }
}

} // namespace assembly
