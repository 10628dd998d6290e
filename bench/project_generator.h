#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace depsbench {

// One use that the generator wrote into a project: the asset user uses the
// asset target (both asset GUID texts), inside the node element named node
// with the id node_id, or as a whole (node empty, node_id -1: outside any
// node element, or a use that follows from where files lie).
struct Edge
{
    QByteArray user;
    QByteArray target;
    QByteArray node;
    int node_id = -1;

    bool operator<(const Edge &other) const;
    bool operator==(const Edge &other) const;
};

struct GeneratorOptions
{
    // Number of assets (data files with a meta file), at least 100.
    int assets = 10000;
    quint64 seed = 1;
    // Images in the one big folder (capped at 40 % of the assets).
    int big_folder_files = 5000;
    // Average number of files of the other folders.
    int files_per_folder = 100;
    // Share of written references that name a GUID no file has.
    double lost_fraction = 0.01;
    // The asset cleaner's evidence besides references in asset files:
    // scripts that quote material names and name files, "ui" files, and a
    // "source" folder beside the data folder with source_files files of
    // engine code (some UTF-16, some with escaped quotes). The truth then
    // also holds the assets that the cleaner must report unused.
    bool cleaner_evidence = false;
    int source_files = 0;
};

// Writes a seeded, realistic project for the dependency analysis: images,
// meshes, models with stored runtimes, materials in both formats (some with
// a parent), node and world files, properties, render settings, layers,
// sounds, scripts, landscape files with side files, GUI skins and plain
// files, spread over folders of about files_per_folder files and one big
// folder. References are written as GUID text, as data paths, as material
// name lists, as file-name suffixes and inside expressions, their targets
// drawn with a Zipf law so that a few assets are used very often; about
// lost_fraction of them name GUIDs that nothing has. Beside the project it
// writes the true dependency graph: every edge it wrote, plus those that
// follow from where files lie.
class ProjectGenerator
{
public:
    explicit ProjectGenerator(const GeneratorOptions &options);
    ~ProjectGenerator();

    // Writes the data folder (which must not exist yet; it appears whole, by
    // one rename of a ".partial" folder beside it) and the truth file. False
    // with a reason on failure; nothing is ever deleted.
    bool write(const QString &data_folder, const QString &truth_file, QString *error);

    // The true graph, sorted; filled by write.
    const std::vector<Edge> &edges() const { return edges_; }
    // Asset GUID texts in a fixed order (for picking queries).
    const std::vector<QByteArray> &assetGuids() const { return asset_guids_; }
    // The most used asset.
    QByteArray mostUsedAsset() const;
    // With cleaner_evidence: the GUID texts of the assets nothing uses that
    // the cleaner may report (not ignored by the default list, a registered
    // extension, not a plain file), in the asset manager's order (by path).
    const std::vector<QByteArray> &unusedAssets() const { return unused_; }

    static bool writeTruth(const QString &path, const std::vector<Edge> &edges, QString *error);
    static bool readTruth(const QString &path, std::vector<Edge> *edges, QString *error);

private:
    class Impl;
    GeneratorOptions options_;
    std::vector<Edge> edges_;
    std::vector<QByteArray> asset_guids_;
    std::vector<QByteArray> unused_;
};

} // namespace depsbench
