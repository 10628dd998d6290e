#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

namespace assembly {

// The lines a command-line tool printed, each with its level: 0 an error
// ("file(line,col): error ..."), 1 a warning ("file(line,col): warning
// ..."), 2 anything else. Output arrives in chunks; a line cut between two
// chunks is kept until its end arrives.
class ToolOutput
{
public:
    enum Level { LEVEL_ERROR = 0, LEVEL_WARNING = 1, LEVEL_OTHER = 2 };

    // Adds decoded output. Lines end at "\r\n", "\r" or "\n"; empty lines
    // are dropped; each line is simplified (white space collapsed).
    void append(const QString &chunk);
    // Takes the unfinished last line as a line of its own.
    void finish();

    const QStringList &lines() const { return lines_; }
    const QVector<int> &levels() const { return levels_; }

    // Logs every line by its level: critical, warning, info.
    void log() const;

    static int levelOf(const QString &line);

private:
    void addLine(const QString &line);

    QString pending_;
    QStringList lines_;
    QVector<int> levels_;
};

} // namespace assembly
