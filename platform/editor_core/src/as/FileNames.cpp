#include "editor_core/as/FileNames.h"

#include <QFile>
#include <QTextCodec>

#ifdef Q_OS_UNIX
#include <dirent.h>
#endif

namespace as {

bool isValidUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

QString escapeFileNameBytes(const QByteArray &name)
{
    QString result;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\')
            result += QLatin1Char(c);
        else
            result += QStringLiteral("\\x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    }
    return result;
}

QStringList nonUtf8EntryNames(const QString &folder)
{
    QStringList result;
#ifdef Q_OS_UNIX
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return result;
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.'))
            continue;
        bool ascii = true;
        for (const char c : name)
            ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (!ascii && !isValidUtf8(name))
            result << escapeFileNameBytes(name);
    }
    ::closedir(dir);
    result.sort();
#else
    Q_UNUSED(folder)
#endif
    return result;
}

} // namespace as
