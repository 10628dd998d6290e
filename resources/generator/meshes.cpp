// Meshes of the sample project in the engine's OBJ-style text format, and
// the watchtower model with the stored runtimes its import produces.
// Z is up, one unit is a metre, every object stands on z = 0.

#include "generator.h"

#include <QHash>
#include <QStringList>
#include <QVector>

#include <array>
#include <cmath>

namespace gen {

namespace {

struct V3
{
    double x, y, z;
};
struct V2
{
    double u, v;
};

V3 operator-(const V3 &a, const V3 &b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
V3 cross(const V3 &a, const V3 &b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
V3 normalized(const V3 &a)
{
    const double l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return l > 0 ? V3{a.x / l, a.y / l, a.z / l} : V3{0, 0, 1};
}

QString num(double v)
{
    if (std::abs(v) < 5e-7)
        v = 0;
    QString s = QString::number(v, 'f', 4);
    while (s.contains(QLatin1Char('.')) && (s.endsWith(QLatin1Char('0')) || s.endsWith(QLatin1Char('.'))))
        s.chop(1);
    return s;
}

// Collects polygons per surface and writes them with shared, de-duplicated
// position, texture coordinate and normal lists.
class MeshWriter
{
public:
    void surface(const QString &name, const QString &material) { surfaces_.append({name, material, {}}); }

    // Corners counter-clockwise seen from the side the face looks at.
    void polygon(const QVector<V3> &p, const QVector<V2> &uv)
    {
        const V3 n = normalized(cross(p[1] - p[0], p[2] - p[0]));
        const int ni = index(normals_, normal_index_, QStringList{num(n.x), num(n.y), num(n.z)}.join(QLatin1Char(' ')));
        QStringList corners;
        for (int i = 0; i < p.size(); ++i) {
            const int vi = index(positions_, position_index_,
                                 QStringList{num(p[i].x), num(p[i].y), num(p[i].z)}.join(QLatin1Char(' ')));
            const int ti = index(uvs_, uv_index_, num(uv[i].u) + QLatin1Char(' ') + num(uv[i].v));
            corners.append(QStringLiteral("%1/%2/%3").arg(vi).arg(ti).arg(ni));
        }
        surfaces_.last().faces.append(QStringLiteral("f ") + corners.join(QLatin1Char(' ')));
    }

    // Quad with texture coordinates from the two edge directions in metres.
    void quad(const V3 &a, const V3 &b, const V3 &c, const V3 &d, double metres_per_tile)
    {
        const double w = std::sqrt(std::pow(b.x - a.x, 2) + std::pow(b.y - a.y, 2) + std::pow(b.z - a.z, 2));
        const double h = std::sqrt(std::pow(d.x - a.x, 2) + std::pow(d.y - a.y, 2) + std::pow(d.z - a.z, 2));
        const double su = metres_per_tile > 0 ? w / metres_per_tile : 1.0;
        const double sv = metres_per_tile > 0 ? h / metres_per_tile : 1.0;
        polygon({a, b, c, d}, {{0, 0}, {su, 0}, {su, sv}, {0, sv}});
    }

    // Axis-aligned box; metres_per_tile 0 maps the texture once per face.
    void box(const V3 &lo, const V3 &hi, double metres_per_tile, bool bottom = false)
    {
        const V3 p000{lo.x, lo.y, lo.z}, p100{hi.x, lo.y, lo.z}, p110{hi.x, hi.y, lo.z}, p010{lo.x, hi.y, lo.z};
        const V3 p001{lo.x, lo.y, hi.z}, p101{hi.x, lo.y, hi.z}, p111{hi.x, hi.y, hi.z}, p011{lo.x, hi.y, hi.z};
        quad(p000, p100, p101, p001, metres_per_tile); // -y
        quad(p100, p110, p111, p101, metres_per_tile); // +x
        quad(p110, p010, p011, p111, metres_per_tile); // +y
        quad(p010, p000, p001, p011, metres_per_tile); // -x
        quad(p001, p101, p111, p011, metres_per_tile); // top
        if (bottom)
            quad(p010, p110, p100, p000, metres_per_tile);
    }

    // Upright prism with `sides` faces around the z axis.
    void column(double radius, double z0, double z1, int sides, double metres_per_tile)
    {
        for (int i = 0; i < sides; ++i) {
            const double a0 = 2 * M_PI * i / sides, a1 = 2 * M_PI * (i + 1) / sides;
            const V3 b0{radius * std::cos(a0), radius * std::sin(a0), z0};
            const V3 b1{radius * std::cos(a1), radius * std::sin(a1), z0};
            const double u0 = double(i) / sides * 2, u1 = double(i + 1) / sides * 2;
            const double v = (z1 - z0) / metres_per_tile;
            polygon({b0, b1, {b1.x, b1.y, z1}, {b0.x, b0.y, z1}}, {{u0, 0}, {u1, 0}, {u1, v}, {u0, v}});
        }
    }

    QString text(const QString &title) const
    {
        QString out = QStringLiteral("# %1\n# Z up, metres.\n\n").arg(title);
        for (const QString &v : positions_)
            out += QStringLiteral("v ") + v + QLatin1Char('\n');
        out += QLatin1Char('\n');
        for (const QString &t : uvs_)
            out += QStringLiteral("vt ") + t + QLatin1Char('\n');
        out += QLatin1Char('\n');
        for (const QString &n : normals_)
            out += QStringLiteral("vn ") + n + QLatin1Char('\n');
        for (const Surface &s : surfaces_) {
            out += QStringLiteral("\ng %1\nusemtl %2\n").arg(s.name, s.material);
            for (const QString &f : s.faces)
                out += f + QLatin1Char('\n');
        }
        return out;
    }

private:
    struct Surface
    {
        QString name;
        QString material;
        QStringList faces;
    };

    static int index(QStringList &list, QHash<QString, int> &lookup, const QString &key)
    {
        auto it = lookup.constFind(key);
        if (it != lookup.constEnd())
            return *it;
        list.append(key);
        lookup.insert(key, list.size());
        return list.size();
    }

    QStringList positions_, uvs_, normals_;
    QHash<QString, int> position_index_, uv_index_, normal_index_;
    QVector<Surface> surfaces_;
};

QString crateMesh()
{
    MeshWriter m;
    m.surface(QStringLiteral("crate"), QStringLiteral("crate"));
    m.box({-0.5, -0.5, 0}, {0.5, 0.5, 1}, 0, true);
    return m.text(QStringLiteral("Wooden crate, 1 m"));
}

// 60 x 60 m of grass with a gravel path running from the south edge to the
// house in the middle of the level.
QString groundMesh()
{
    const double xs[] = {-30, -25, -20, -15, -10, -5, -1.25, 1.25, 5, 10, 15, 20, 25, 30};
    const double ys[] = {-30, -25, -20, -15, -10, -5, 0, 3.7, 5, 10, 15, 20, 25, 30};
    const int n = int(sizeof(xs) / sizeof(xs[0]));
    MeshWriter m;
    for (const bool path : {false, true}) {
        m.surface(path ? QStringLiteral("path") : QStringLiteral("grass"),
                  path ? QStringLiteral("ground_path") : QStringLiteral("ground_grass"));
        const double tile = path ? 2.5 : 4.0;
        for (int j = 0; j + 1 < n; ++j) {
            for (int i = 0; i + 1 < n; ++i) {
                const bool is_path = xs[i] >= -1.25 && xs[i + 1] <= 1.25 && ys[j + 1] <= 3.7;
                if (is_path != path)
                    continue;
                const double x0 = xs[i], x1 = xs[i + 1], y0 = ys[j], y1 = ys[j + 1];
                m.polygon({{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}},
                          {{x0 / tile, y0 / tile},
                           {x1 / tile, y0 / tile},
                           {x1 / tile, y1 / tile},
                           {x0 / tile, y1 / tile}});
            }
        }
    }
    return m.text(QStringLiteral("Ground: grass with a gravel path"));
}

// A small plastered house, 6 x 4.5 m, gabled roof along x, door facing -y.
QString houseMesh()
{
    const double hx = 3.0, hy = 2.25, wall_top = 2.9, ridge = 4.6;
    MeshWriter m;
    m.surface(QStringLiteral("foundation"), QStringLiteral("stone_base"));
    m.box({-hx - 0.08, -hy - 0.08, 0}, {hx + 0.08, hy + 0.08, 0.3}, 1.5);

    m.surface(QStringLiteral("walls"), QStringLiteral("house_plaster"));
    const V3 a{-hx, -hy, 0.3}, b{hx, -hy, 0.3}, c{hx, hy, 0.3}, d{-hx, hy, 0.3};
    auto up = [&](const V3 &p) { return V3{p.x, p.y, wall_top}; };
    m.quad(a, b, up(b), up(a), 2);
    m.quad(b, c, up(c), up(b), 2);
    m.quad(c, d, up(d), up(c), 2);
    m.quad(d, a, up(a), up(d), 2);
    const double gable_top = ridge - 0.1, gable_v = (gable_top - wall_top) / 2;
    m.polygon({{hx, -hy, wall_top}, {hx, hy, wall_top}, {hx, 0, gable_top}},
              {{0, 0}, {2 * hy / 2, 0}, {hy / 2, gable_v}});
    m.polygon({{-hx, hy, wall_top}, {-hx, -hy, wall_top}, {-hx, 0, gable_top}},
              {{0, 0}, {2 * hy / 2, 0}, {hy / 2, gable_v}});

    m.surface(QStringLiteral("roof"), QStringLiteral("house_roof"));
    const double rx = hx + 0.4, eave_y = hy + 0.5, eave_z = ridge - 2.0 * (eave_y / 2.75);
    m.quad({-rx, -eave_y, eave_z}, {rx, -eave_y, eave_z}, {rx, 0, ridge}, {-rx, 0, ridge}, 2);
    m.quad({rx, eave_y, eave_z}, {-rx, eave_y, eave_z}, {-rx, 0, ridge}, {rx, 0, ridge}, 2);

    m.surface(QStringLiteral("door"), QStringLiteral("house_wood"));
    m.box({-0.55, -hy - 0.08, 0.3}, {0.55, -hy + 0.01, 2.35}, 0);

    m.surface(QStringLiteral("windows"), QStringLiteral("house_window"));
    for (const double x : {-1.9, 1.9}) {
        m.quad({x - 0.5, -hy - 0.015, 1.25}, {x + 0.5, -hy - 0.015, 1.25}, {x + 0.5, -hy - 0.015, 2.25},
               {x - 0.5, -hy - 0.015, 2.25}, 0);
        m.quad({x + 0.5, hy + 0.015, 1.25}, {x - 0.5, hy + 0.015, 1.25}, {x - 0.5, hy + 0.015, 2.25},
               {x + 0.5, hy + 0.015, 2.25}, 0);
    }
    for (const double s : {-1.0, 1.0}) {
        const double x = s * (hx + 0.015);
        m.quad({x, -s * 0.5, 1.25}, {x, s * 0.5, 1.25}, {x, s * 0.5, 2.25}, {x, -s * 0.5, 2.25}, 0);
    }

    m.surface(QStringLiteral("details"), QStringLiteral("stone_base"));
    for (const double x : {-1.9, 1.9})
        m.box({x - 0.62, -hy - 0.14, 1.12}, {x + 0.62, -hy, 1.25}, 1.5, true);
    m.box({1.5, 0.6, 3.3}, {2.1, 1.2, 5.4}, 1.5);
    return m.text(QStringLiteral("House: plastered walls, tiled gable roof, door, windows and chimney"));
}

QString pillarMesh()
{
    MeshWriter m;
    m.surface(QStringLiteral("pillar"), QStringLiteral("pillar_stone"));
    m.box({-0.45, -0.45, 0}, {0.45, 0.45, 0.3}, 1.5);
    m.column(0.32, 0.3, 2.9, 8, 1.5);
    m.box({-0.42, -0.42, 2.9}, {0.42, 0.42, 3.2}, 1.5, true);
    return m.text(QStringLiteral("Stone pillar, 3.2 m"));
}

QString fenceMesh()
{
    MeshWriter m;
    m.surface(QStringLiteral("fence"), QStringLiteral("house_wood"));
    for (const double x : {-2.0, 0.0, 2.0})
        m.box({x - 0.06, -0.06, 0}, {x + 0.06, 0.06, 1.1}, 1);
    for (const double z : {0.45, 0.9})
        m.box({-2.06, -0.03, z}, {2.06, 0.03, z + 0.1}, 1, true);
    return m.text(QStringLiteral("Fence section, 4 m along x"));
}

QString watchtowerModel()
{
    MeshWriter m;
    m.surface(QStringLiteral("frame"), QStringLiteral("house_wood"));
    for (const double x : {-1.3, 1.3})
        for (const double y : {-1.3, 1.3})
            m.box({x - 0.11, y - 0.11, 0}, {x + 0.11, y + 0.11, 6.2}, 1);
    m.box({-1.6, -1.6, 3.8}, {1.6, 1.6, 4.0}, 1, true);
    for (const double s : {-1.0, 1.0}) {
        m.box({-1.45, s * 1.45 - 0.04, 4.85}, {1.45, s * 1.45 + 0.04, 4.95}, 1, true);
        m.box({s * 1.45 - 0.04, -1.45, 4.85}, {s * 1.45 + 0.04, 1.45, 4.95}, 1, true);
    }
    for (const double x : {-0.3, 0.3})
        m.box({x - 0.04, -1.75, 0}, {x + 0.04, -1.67, 4.0}, 1);
    for (int i = 1; i <= 9; ++i) {
        const double z = i * 0.4;
        m.box({-0.3, -1.74, z}, {0.3, -1.68, z + 0.05}, 1, true);
    }
    m.surface(QStringLiteral("roof"), QStringLiteral("house_roof"));
    const V3 apex{0, 0, 7.6};
    const V3 corners[] = {{-1.9, -1.9, 6.2}, {1.9, -1.9, 6.2}, {1.9, 1.9, 6.2}, {-1.9, 1.9, 6.2}};
    for (int i = 0; i < 4; ++i) {
        const V3 &p0 = corners[i], &p1 = corners[(i + 1) % 4];
        m.polygon({p0, p1, apex}, {{0, 0}, {1.9, 0}, {0.95, 1.2}});
    }
    return m.text(QStringLiteral("Watchtower: four posts, platform, ladder and a pyramid roof"));
}

} // namespace

// Fixed GUIDs of the watchtower's stored runtimes (listed in its meta file).
const char *const WATCHTOWER_GUID = "bbbbb00000000000000000000000000000000201";
const char *const WATCHTOWER_NODE_GUID = "bbbbb00000000000000000000000000000000301";
const char *const WATCHTOWER_MESH_GUID = "bbbbb00000000000000000000000000000000302";

bool writeSampleMeshes(const QString &data)
{
    const QString meshes = data + QStringLiteral("/meshes/");
    bool ok = saveText(crateMesh(), meshes + QStringLiteral("crate.mesh"));
    ok = saveText(groundMesh(), meshes + QStringLiteral("ground.mesh")) && ok;
    ok = saveText(houseMesh(), meshes + QStringLiteral("house.mesh")) && ok;
    ok = saveText(pillarMesh(), meshes + QStringLiteral("pillar.mesh")) && ok;
    ok = saveText(fenceMesh(), meshes + QStringLiteral("fence.mesh")) && ok;

    // The model and what its import stores: the mesh unchanged, and a node
    // holding one mesh object that uses it.
    const QString model = watchtowerModel();
    ok = saveText(model, data + QStringLiteral("/models/watchtower.model")) && ok;
    const QString runtimes = data + QStringLiteral("/.runtimes/bb/");
    const QString mesh_file = runtimes + QLatin1String(WATCHTOWER_MESH_GUID) + QStringLiteral(".mesh");
    const QString node_file = runtimes + QLatin1String(WATCHTOWER_NODE_GUID) + QStringLiteral(".node");
    ok = saveText(model, mesh_file) && ok;
    const QString side_meta = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                             "<runtime version=\"1\" guid=\"%1\" asset=\"%2\" kind=\"%3\"/>\n");
    ok = saveText(side_meta.arg(QLatin1String(WATCHTOWER_MESH_GUID), QLatin1String(WATCHTOWER_GUID)).arg(1),
                  mesh_file + QStringLiteral(".meta"))
            && ok;
    const QString node = QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                        "<nodes version=\"1\">\n"
                                        "\t<node type=\"ObjectMeshStatic\" id=\"1\" name=\"watchtower\">\n"
                                        "\t\t<transform>1 0 0 0  0 1 0 0  0 0 1 0  0 0 0 1</transform>\n"
                                        "\t\t<enabled>1</enabled>\n"
                                        "\t\t<mesh_name>guid://%1</mesh_name>\n"
                                        "\t\t<surface name=\"frame\" enabled=\"1\" viewport_mask=\"4294967295\" "
                                        "shadow_mask=\"4294967295\">\n"
                                        "\t\t\t<material>house_wood</material>\n"
                                        "\t\t</surface>\n"
                                        "\t\t<surface name=\"roof\" enabled=\"1\" viewport_mask=\"4294967295\" "
                                        "shadow_mask=\"4294967295\">\n"
                                        "\t\t\t<material>house_roof</material>\n"
                                        "\t\t</surface>\n"
                                        "\t</node>\n"
                                        "</nodes>\n")
                                 .arg(QLatin1String(WATCHTOWER_MESH_GUID));
    ok = saveText(node, node_file) && ok;
    ok = saveText(side_meta.arg(QLatin1String(WATCHTOWER_NODE_GUID), QLatin1String(WATCHTOWER_GUID)).arg(3),
                  node_file + QStringLiteral(".meta"))
            && ok;
    return ok;
}

} // namespace gen
