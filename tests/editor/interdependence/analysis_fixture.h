#pragma once

// Shared helpers of the dependency analysis tests: a running engine over a
// data folder with the asset manager scanned and the material and property
// managers loaded, a log capture, and a text form of parser items whose
// GUIDs are written as asset paths.

#include "asset_files.h"
#include "log_capture.h"

#include <editor/interdependence/parser/parser_output.h>

#include <velmora/UGUID.h>

#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <memory>
#include <string>
#include <vector>

namespace Editor {
class AssetManagerPrivate;
}
namespace mat {
class Manager;
}
namespace prop {
class Manager;
}

namespace inastest {

// The fixture shorthand {xNNN}: five times the letter, 32 zeros, three digits.
using test::guid;
using test::guidText;

// The static test data folder of the dependency analysis.
QString staticDataFolder();

// Engine log and console output; lines() come without their line break.
using LogCapture = test::LogCapture;

class AnalysisFixture
{
public:
    AnalysisFixture();
    ~AnalysisFixture();
    AnalysisFixture(const AnalysisFixture &) = delete;
    AnalysisFixture &operator=(const AnalysisFixture &) = delete;

    // Copies a data folder into a temporary one and starts there.
    bool startWithCopyOf(const QString &source_data_folder);
    // Starts on a data folder as it is (a folder the test made).
    bool start(const QString &data_folder);
    void stop();

    // Absolute, ending with "/".
    QString dataPath() const { return data_path_; }
    Editor::AssetManagerPrivate *assets() const { return assets_.get(); }
    mat::Manager *materials() const { return materials_.get(); }
    prop::Manager *properties() const { return properties_.get(); }
    // Scans the data folder again (after a test changed it).
    bool rescan();

    // Every asset of the data folder parsed as the analysis parses it (all
    // modules, the generic item builder); null only on a programming error.
    std::unique_ptr<inas::parser::Output> parseAll() const;
    // The item of a GUID in an output, null when none.
    static inas::parser::ItemPtr findItem(const inas::parser::Output &output, const Velmora::UGUID &guid);

    // An asset's data-relative path; "<asset>#<kind>" for a further runtime;
    // {xNNN} or the hexadecimal text for a GUID nothing knows.
    QString describe(const Velmora::UGUID &guid) const;
    QString describe(const std::vector<Velmora::UGUID> &guids) const;
    // The text form of expected.txt for every item of an output.
    QStringList describe(const inas::parser::Output &output) const;
    QStringList describeItem(const inas::parser::Item &item) const;

private:
    QTemporaryDir dir_;
    QString data_path_;
    std::vector<std::string> arguments_;
    std::vector<char *> argv_;
    std::unique_ptr<Editor::AssetManagerPrivate> assets_;
    std::unique_ptr<mat::Manager> materials_;
    std::unique_ptr<prop::Manager> properties_;
};

} // namespace inastest
