#pragma once

#include <QJsonObject>
#include <QString>

namespace assembly {

// The build options file "<data folder>/.tamsel2/.assemblytool".
class OptionsFile
{
public:
    static QString path();
    // The file's object; an empty object when the file is missing (quietly)
    // or broken: unreadable, not JSON, truncated, not an object, or empty (a
    // warning). A broken file is left as it is.
    static QJsonObject load();
    // Writes the object atomically in QJsonDocument's indented form, creating
    // ".tamsel2" when missing. A failed write logs a soft assertion and says
    // why in *error.
    static bool save(const QJsonObject &data, QString *error = nullptr);
    static bool remove();
};

} // namespace assembly
