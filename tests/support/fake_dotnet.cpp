#include "fake_dotnet.h"

#include <QFile>
#include <QFileDevice>

namespace test {

namespace {

const char SCRIPT[] = R"sh(#!/bin/sh
echo "$*" >> "${FAKE_DOTNET_LOG:-/dev/null}"
command="$1"
shift
case "$command" in
build)
    configuration="$2"; rid="$4"; project="$5"
    if grep -q 'Name="PostBuild"' "$project"; then
        echo "$project(1,1): error MSB0001: the PostBuild target must not run"
        exit 9
    fi
    mkdir -p "$FAKE_DOTNET_BIN/$rid" || exit 8
    echo "  Determining projects to restore..."
    echo "X.cs(3,1): warning CS0168: The variable 'e' is declared but never used"
    if [ -n "$FAKE_DOTNET_BUILD_FAIL" ]; then
        echo "X.cs(10,5): error CS1002: ; expected"
        echo "Build FAILED|see above"
        exit 1
    fi
    exit 0
    ;;
publish)
    project="$1"; configuration="$3"; rid="$5"
    out="$FAKE_DOTNET_BIN/$rid/publish"
    name=$(awk -v cfg="'$configuration'" '
        index($0, "Condition") && index($0, cfg) { inside = 1 }
        inside && /<AssemblyName>/ { sub(/.*<AssemblyName>/, ""); sub(/<\/AssemblyName>.*/, ""); print; exit }
    ' "$project")
    [ -n "$name" ] || { echo "no AssemblyName for $configuration"; exit 7; }
    mkdir -p "$out/runtimes/x" || exit 8
    printf '#!/bin/sh\necho published\n' > "$out/$name"
    chmod 755 "$out/$name"
    echo "managed" > "$out/Game.Logic.dll"
    echo "native" > "$out/runtimes/x/native.so"
    exit "${FAKE_DOTNET_PUBLISH_EXIT:-0}"
    ;;
esac
exit 64
)sh";

} // namespace

FakeDotnet::FakeDotnet(const QString &bin_path)
{
    QFile file(program());
    valid_ = dir_.isValid() && file.open(QIODevice::WriteOnly) && file.write(script()) == script().size();
    file.close();
    valid_ = valid_
            && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                   | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                   | QFileDevice::ExeOther);
    old_path_ = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir_.path()) + ':' + old_path_);
    qputenv("FAKE_DOTNET_BIN", QFile::encodeName(bin_path));
    qputenv("FAKE_DOTNET_LOG", QFile::encodeName(dir_.path() + QStringLiteral("/calls.log")));
    qunsetenv("FAKE_DOTNET_BUILD_FAIL");
    qunsetenv("FAKE_DOTNET_PUBLISH_EXIT");
}

FakeDotnet::~FakeDotnet()
{
    qputenv("PATH", old_path_);
    for (const char *name :
         {"FAKE_DOTNET_BIN", "FAKE_DOTNET_LOG", "FAKE_DOTNET_BUILD_FAIL", "FAKE_DOTNET_PUBLISH_EXIT"})
        qunsetenv(name);
}

void FakeDotnet::setBuildFails(bool fails)
{
    if (fails)
        qputenv("FAKE_DOTNET_BUILD_FAIL", "1");
    else
        qunsetenv("FAKE_DOTNET_BUILD_FAIL");
}

void FakeDotnet::setPublishExit(int code)
{
    qputenv("FAKE_DOTNET_PUBLISH_EXIT", QByteArray::number(code));
}

QStringList FakeDotnet::calls() const
{
    QFile file(dir_.path() + QStringLiteral("/calls.log"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringList();
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QByteArray FakeDotnet::script()
{
    return QByteArray(SCRIPT);
}

ScopedPath::ScopedPath(const QByteArray &path)
    : old_path_(qgetenv("PATH"))
{
    qputenv("PATH", path);
}

ScopedPath::~ScopedPath()
{
    qputenv("PATH", old_path_);
}

} // namespace test
