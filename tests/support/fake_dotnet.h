#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace test {

// A stand-in for the dotnet tool: a POSIX sh script named "dotnet" in a
// temporary folder that is put first on the test process's PATH while the
// object lives (Qt finds a bare program name through the calling process's
// PATH). It follows the tool's contract as the build uses it:
//   build -c CFG -r RID PROJ
//       fails (9) while PROJ still holds a "PostBuild" target; makes
//       $FAKE_DOTNET_BIN/RID; prints a compiler warning line; with
//       $FAKE_DOTNET_BUILD_FAIL set also an error line and a line holding
//       '|', and exits 1;
//   publish PROJ -c CFG -r RID --no-build --self-contained
//       writes $FAKE_DOTNET_BIN/RID/publish/ with the executable named by
//       PROJ's AssemblyName for CFG, a ".dll" and runtimes/x/native.so, and
//       exits $FAKE_DOTNET_PUBLISH_EXIT (default 0);
//   anything else exits 64.
// Every call's arguments are appended to $FAKE_DOTNET_LOG.
class FakeDotnet
{
public:
    // bin_path: the C# binaries folder the tool writes into.
    explicit FakeDotnet(const QString &bin_path);
    ~FakeDotnet();
    FakeDotnet(const FakeDotnet &) = delete;
    FakeDotnet &operator=(const FakeDotnet &) = delete;

    bool isValid() const { return valid_; }
    QString folder() const { return dir_.path(); }
    QString program() const { return dir_.path() + QStringLiteral("/dotnet"); }

    void setBuildFails(bool fails);
    void setPublishExit(int code);

    // One line per call: the arguments joined by blanks.
    QStringList calls() const;

    // The text of the script (tests of the fake itself).
    static QByteArray script();

private:
    QTemporaryDir dir_;
    QByteArray old_path_;
    bool valid_ = false;
};

// Replaces PATH for its lifetime (a PATH without any dotnet, for instance).
class ScopedPath
{
public:
    explicit ScopedPath(const QByteArray &path);
    ~ScopedPath();
    ScopedPath(const ScopedPath &) = delete;
    ScopedPath &operator=(const ScopedPath &) = delete;

private:
    QByteArray old_path_;
};

} // namespace test
