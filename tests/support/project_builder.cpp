#include "project_builder.h"

#include "folder_copy.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

namespace test {

namespace {

QByteArray tinyPng()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

ProjectBuilder::ProjectBuilder(const QString &root)
    : root_(QDir::cleanPath(QDir(root).absolutePath()))
{
    ok_ = QDir().mkpath(root_ + QLatin1String("/data"));
}

QString ProjectBuilder::expandGuids(const QString &text)
{
    static const QRegularExpression SHORTHAND(QStringLiteral("\\{([a-f])(\\d{3})\\}"));
    QString result;
    int last = 0;
    auto it = SHORTHAND.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        result += text.midRef(last, match.capturedStart() - last);
        result += match.captured(1).repeated(5) + QString(32, QLatin1Char('0')) + match.captured(2);
        last = match.capturedEnd();
    }
    result += text.midRef(last);
    return result;
}

ProjectBuilder &ProjectBuilder::projectFile(const QString &name, int component_system)
{
    QJsonObject sdk{{QStringLiteral("path"), QString()}, {QStringLiteral("edition"), QString()}};
    QJsonObject settings{{QStringLiteral("name"), name}, {QStringLiteral("component_system"), component_system}};
    QJsonObject project{{QStringLiteral("sdk"), sdk}, {QStringLiteral("project_settings"), settings}};
    return rawProjectFile(name, QJsonDocument(project).toJson());
}

ProjectBuilder &ProjectBuilder::rawProjectFile(const QString &name, const QByteArray &content)
{
    project_file_ = root_ + QLatin1Char('/') + name + QLatin1String(".project");
    write(project_file_, content);
    return *this;
}

ProjectBuilder &ProjectBuilder::engineData()
{
    const QString source_dir = qEnvironmentVariable("VELMORA_SOURCE_DIR");
    const QString engine_data = source_dir + QLatin1String("/resources/engine_data");
    if (!source_dir.isEmpty() && QFileInfo(engine_data).isDir()) {
        if (!copyTree(engine_data, dataPath()))
            ok_ = false;
        return *this;
    }
    write(dataPath() + QLatin1String("tamsel2/editor.usc"), QByteArray("// editor script\n"));
    write(dataPath() + QLatin1String("tamsel2/gui/nodes_icons_big.png"), tinyPng());
    return *this;
}

ProjectBuilder &ProjectBuilder::file(const QString &path, const QByteArray &content)
{
    write(dataPath() + path, expandGuids(QString::fromUtf8(content)).toUtf8());
    return *this;
}

ProjectBuilder &ProjectBuilder::asset(const QString &path, const QByteArray &content, const QString &guid, int type)
{
    file(path, content);
    QString meta = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<asset version=\"1\" guid=\"%1\"")
                           .arg(expandGuids(guid));
    if (type > 0)
        meta += QStringLiteral(" type=\"%1\"").arg(type);
    meta += QLatin1String(" excluded=\"0\"/>\n");
    write(dataPath() + path + QLatin1String(".meta"), meta.toUtf8());
    return *this;
}

ProjectBuilder &ProjectBuilder::rawMeta(const QString &path, const QByteArray &content)
{
    write(dataPath() + path + QLatin1String(".meta"), content);
    return *this;
}

ProjectBuilder &ProjectBuilder::world(const QString &path, const QString &guid, const QStringList &node_names)
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<world version=\"1\">\n";
    int id = 1;
    for (const QString &name : node_names) {
        xml += QStringLiteral("  <node type=\"NodeDummy\" id=\"%1\" name=\"%2\">\n"
                              "    <transform>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</transform>\n"
                              "  </node>\n")
                       .arg(id++)
                       .arg(name)
                       .toUtf8();
    }
    xml += "</world>\n";
    return asset(path, xml, guid, 18);
}

bool ProjectBuilder::write(const QString &absolute_path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(absolute_path).absolutePath());
    QSaveFile out(absolute_path);
    const bool written = out.open(QIODevice::WriteOnly) && out.write(content) == content.size() && out.commit();
    if (!written) {
        qWarning("ProjectBuilder: cannot write %s", qPrintable(absolute_path));
        ok_ = false;
    }
    return written;
}

} // namespace test
