#include "editor_core/FileNameValidator.h"

namespace {

bool isForbidden(QChar c)
{
    static const QString FORBIDDEN = QStringLiteral("\\/:*?\"<>|");
    return c.category() == QChar::Other_Control || FORBIDDEN.contains(c);
}

} // namespace

FileNameValidator::FileNameValidator(QObject *parent)
    : QValidator(parent)
{}

FileNameValidator::~FileNameValidator() = default;

QString FileNameValidator::cleaned(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (!isForbidden(c))
            result.append(c);
    }
    return result.left(MAX_LENGTH);
}

bool FileNameValidator::isUsable(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || cleaned(name) != name)
        return false;
    return !name.front().isSpace() && !name.back().isSpace() && !name.endsWith(QLatin1Char('.'));
}

QValidator::State FileNameValidator::validate(QString &input, int &pos) const
{
    int removed_before_cursor = 0;
    for (int i = 0; i < input.size() && i < pos; ++i)
        removed_before_cursor += isForbidden(input.at(i)) ? 1 : 0;
    const QString clean = cleaned(input);
    if (clean != input) {
        input = clean;
        pos = qBound(0, pos - removed_before_cursor, input.size());
    }
    return isUsable(input) ? Acceptable : Intermediate;
}

void FileNameValidator::fixup(QString &input) const
{
    input = cleaned(input).trimmed();
    while (input.endsWith(QLatin1Char('.')))
        input.chop(1);
}
