#include "velmora/Math.h"

#include <QTest>

using namespace Velmora;

namespace {
QByteArray text(const vec3 &v)
{
    return QByteArray::number(v.x) + " " + QByteArray::number(v.y) + " " + QByteArray::number(v.z);
}
} // namespace

Q_DECLARE_METATYPE(Velmora::vec3)

class TestMath : public QObject
{
    Q_OBJECT

private slots:
    void axis_rotations_turn_counter_clockwise_data()
    {
        QTest::addColumn<int>("axis");
        QTest::addColumn<vec3>("input");
        QTest::addColumn<vec3>("expected");
        QTest::newRow("X turns Y into Z") << 0 << vec3(0, 1, 0) << vec3(0, 0, 1);
        QTest::newRow("Y turns Z into X") << 1 << vec3(0, 0, 1) << vec3(1, 0, 0);
        QTest::newRow("Z turns X into Y") << 2 << vec3(1, 0, 0) << vec3(0, 1, 0);
    }
    void axis_rotations_turn_counter_clockwise()
    {
        QFETCH(int, axis);
        QFETCH(vec3, input);
        QFETCH(vec3, expected);
        const mat4 m = axis == 0 ? Math::rotateX(90) : axis == 1 ? Math::rotateY(90) : Math::rotateZ(90);
        const vec3 axis_vector(axis == 0, axis == 1, axis == 2);
        QVERIFY2(Math::compare(m * input, expected), text(m * input).constData());
        // The quaternion of the same rotation agrees with the matrix.
        QVERIFY(Math::compare(quat(axis_vector, 90) * input, expected));
        QVERIFY(Math::compare(mat4(quat(axis_vector, 90)), m));
    }

    void vector_times_quaternion_rotates_by_the_inverse()
    {
        const quat q = quat(vec3(1, 2, 3), 47) * quat(vec3(0, 0, 1), -120);
        const vec3 v(0.3f, -2.0f, 5.0f);
        QVERIFY(Math::compare((q * v) * q, v, 1e-4f));
        QVERIFY(Math::compare(v * q, mat4(q.conjugate()) * v, 1e-4f));
        QVERIFY(!Math::compare(v * q, q * v, 1e-2f));
    }

    void quaternion_and_matrix_convert_both_ways_data()
    {
        QTest::addColumn<vec3>("axis");
        QTest::addColumn<float>("angle");
        QTest::newRow("identity") << vec3(0, 0, 1) << 0.0f;
        QTest::newRow("small") << vec3(1, 1, 0) << 3.0f;
        QTest::newRow("half turn about X") << vec3(1, 0, 0) << 180.0f;
        QTest::newRow("half turn about Y") << vec3(0, 1, 0) << 180.0f;
        QTest::newRow("oblique") << vec3(-2, 0.5f, 1) << 251.0f;
    }
    void quaternion_and_matrix_convert_both_ways()
    {
        QFETCH(vec3, axis);
        QFETCH(float, angle);
        const quat q(axis, angle);
        const mat4 m(q);
        QVERIFY(Math::compare(quat(m), q, 1e-5f));
        // A scaled matrix gives the same rotation.
        QVERIFY(Math::compare(quat(m * Math::scale(2, 3, 4)), q, 1e-5f));
    }

    void composed_transforms_invert_and_decompose()
    {
        const mat4 m = Math::compose(vec3(4, -1, 2), quat(vec3(0.2f, 1, 0.3f), 33), vec3(2, 0.5f, 3));
        QVERIFY(Math::compare(Math::inverse(m) * m, mat4(), 1e-5f));
        QVERIFY(Math::compare(m * Math::inverse(m), mat4(), 1e-5f));
        vec3 position, scale;
        quat rotation;
        Math::decompose(m, position, rotation, scale);
        QVERIFY(Math::compare(position, vec3(4, -1, 2)));
        QVERIFY(Math::compare(scale, vec3(2, 0.5f, 3), 1e-5f));
        QVERIFY(Math::compare(Math::compose(position, rotation, scale), m, 1e-5f));
        // A mirror survives the round trip.
        const mat4 mirror = m * Math::scale(-1, 1, 1);
        Math::decompose(mirror, position, rotation, scale);
        QVERIFY(Math::compare(Math::compose(position, rotation, scale), mirror, 1e-5f));
        QCOMPARE(Math::inverse(mat4(0.0f)), mat4());
    }

    void column_access_is_column_major()
    {
        mat4 m = Math::translate(1, 2, 3);
        QCOMPARE(m[12], 1.0f);
        QVERIFY(m.getColumn3(3) == vec3(1, 2, 3));
        m.setColumn3(0, vec3(5, 6, 7));
        QCOMPARE(m.get(1, 0), 6.0f);
        QCOMPARE(m[15], 1.0f);
        QVERIFY(Math::compare(Math::translate(1, 0, 0) * Math::rotateZ(90) * vec3(1, 0, 0), vec3(1, 1, 0)));
    }

    void projections_map_to_gl_clip_space()
    {
        const mat4 p = Math::perspective(90, 2.0f, 1.0f, 100.0f);
        vec4 near_point = p * vec4(0, 0, -1, 1);
        vec4 far_point = p * vec4(0, 0, -100, 1);
        QVERIFY(Math::compare(near_point.z / near_point.w, -1.0f));
        QVERIFY(Math::compare(far_point.z / far_point.w, 1.0f, 1e-4f));
        vec4 top = p * vec4(0, 1, -1, 1); // 45 degrees up at distance 1: the top edge
        QVERIFY(Math::compare(top.y / top.w, 1.0f));
        vec4 right = p * vec4(2, 0, -1, 1); // aspect 2
        QVERIFY(Math::compare(right.x / right.w, 1.0f));

        const mat4 o = Math::ortho(-2, 2, -1, 1, 0.5f, 10);
        QVERIFY(Math::compare(o * vec4(2, 1, -0.5f, 1), vec4(1, 1, -1, 1)));
        QVERIFY(Math::compare(o * vec4(-2, -1, -10, 1), vec4(-1, -1, 1, 1)));
    }

    void look_at_places_the_target_down_minus_z()
    {
        const vec3 eye(5, 5, 2), target(1, 2, 2);
        const mat4 view = Math::lookAt(eye, target, vec3(0, 0, 1));
        QVERIFY(Math::compare(view * target, vec3(0, 0, -5), 1e-5f));
        QVERIFY(Math::compare(view * (eye + vec3(0, 0, 1)), vec3(0, 1, 0), 1e-5f)); // Z up is screen up
        // Looking straight down along the up vector still gives a valid matrix.
        const mat4 down = Math::lookAt(vec3(0, 0, 10), vec3(0, 0, 0), vec3(0, 0, 1));
        QVERIFY(Math::compare(down * vec3(0, 0, 0), vec3(0, 0, -10), 1e-5f));
    }

    void slerp_goes_along_the_short_arc()
    {
        const quat a(vec3(0, 0, 1), 10), b(vec3(0, 0, 1), 90);
        QVERIFY(Math::compare(Math::slerp(a, b, 0.5f), quat(vec3(0, 0, 1), 50), 1e-5f));
        const quat negated(-b.x, -b.y, -b.z, -b.w);
        QVERIFY(Math::compare(Math::slerp(a, negated, 0.5f), quat(vec3(0, 0, 1), 50), 1e-5f));
    }
};

QTEST_GUILESS_MAIN(TestMath)
#include "tst_math.moc"
