#include "velmora/Math.h"

#include <algorithm>
#include <cstring>

namespace Velmora {

quat::quat(const vec3 &axis, float angle)
{
    const vec3 a = Math::normalize(axis);
    const float half = angle * Math::DEG2RAD * 0.5f;
    const float s = std::sin(half);
    x = a.x * s;
    y = a.y * s;
    z = a.z * s;
    w = std::cos(half);
}

quat::quat(const mat4 &m)
{
    // Rotation of the scale-free upper 3x3.
    vec3 c0 = Math::normalize(m.getColumn3(0));
    vec3 c1 = Math::normalize(m.getColumn3(1));
    vec3 c2 = Math::normalize(m.getColumn3(2));
    if (Math::dot(Math::cross(c0, c1), c2) < 0.0f)
        c0 = -c0; // a mirror: keep a proper rotation
    const float m00 = c0.x, m10 = c0.y, m20 = c0.z;
    const float m01 = c1.x, m11 = c1.y, m21 = c1.z;
    const float m02 = c2.x, m12 = c2.y, m22 = c2.z;
    const float trace = m00 + m11 + m22;
    if (trace > 0.0f) {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        w = 0.25f * s;
        x = (m21 - m12) / s;
        y = (m02 - m20) / s;
        z = (m10 - m01) / s;
    } else if (m00 > m11 && m00 > m22) {
        const float s = std::sqrt(1.0f + m00 - m11 - m22) * 2.0f;
        w = (m21 - m12) / s;
        x = 0.25f * s;
        y = (m01 + m10) / s;
        z = (m02 + m20) / s;
    } else if (m11 > m22) {
        const float s = std::sqrt(1.0f + m11 - m00 - m22) * 2.0f;
        w = (m02 - m20) / s;
        x = (m01 + m10) / s;
        y = 0.25f * s;
        z = (m12 + m21) / s;
    } else {
        const float s = std::sqrt(1.0f + m22 - m00 - m11) * 2.0f;
        w = (m10 - m01) / s;
        x = (m02 + m20) / s;
        y = (m12 + m21) / s;
        z = 0.25f * s;
    }
    *this = normalize();
}

quat quat::operator*(const quat &o) const
{
    return quat(w * o.x + x * o.w + y * o.z - z * o.y, w * o.y - x * o.z + y * o.w + z * o.x,
                w * o.z + x * o.y - y * o.x + z * o.w, w * o.w - x * o.x - y * o.y - z * o.z);
}

vec3 quat::operator*(const vec3 &v) const
{
    const vec3 q(x, y, z);
    const vec3 t = Math::cross(q, v) * 2.0f;
    return v + t * w + Math::cross(q, t);
}

quat quat::normalize() const
{
    const float len = length();
    if (len <= 0.0f)
        return quat();
    const float inv = 1.0f / len;
    return quat(x * inv, y * inv, z * inv, w * inv);
}

float quat::getAngle(vec3 &axis) const
{
    const quat q = normalize();
    const float s = std::sqrt(std::max(0.0f, 1.0f - q.w * q.w));
    axis = s < Math::EPSILON ? vec3(0.0f, 0.0f, 1.0f) : vec3(q.x / s, q.y / s, q.z / s);
    return 2.0f * std::acos(Math::clamp(q.w, -1.0f, 1.0f)) * Math::RAD2DEG;
}

vec3 operator*(const vec3 &v, const quat &q)
{
    return q.conjugate() * v;
}

mat4::mat4(float diagonal)
{
    std::memset(m, 0, sizeof(m));
    m[0] = m[5] = m[10] = m[15] = diagonal;
}

mat4::mat4(const float *values)
{
    std::memcpy(m, values, sizeof(m));
}

mat4::mat4(const quat &rotation)
{
    const quat q = rotation.normalize();
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    m[0] = 1.0f - 2.0f * (yy + zz);
    m[1] = 2.0f * (xy + wz);
    m[2] = 2.0f * (xz - wy);
    m[3] = 0.0f;
    m[4] = 2.0f * (xy - wz);
    m[5] = 1.0f - 2.0f * (xx + zz);
    m[6] = 2.0f * (yz + wx);
    m[7] = 0.0f;
    m[8] = 2.0f * (xz + wy);
    m[9] = 2.0f * (yz - wx);
    m[10] = 1.0f - 2.0f * (xx + yy);
    m[11] = 0.0f;
    m[12] = m[13] = m[14] = 0.0f;
    m[15] = 1.0f;
}

vec4 mat4::getColumn(int c) const
{
    return vec4(m[c * 4], m[c * 4 + 1], m[c * 4 + 2], m[c * 4 + 3]);
}

void mat4::setColumn(int c, const vec4 &v)
{
    m[c * 4] = v.x;
    m[c * 4 + 1] = v.y;
    m[c * 4 + 2] = v.z;
    m[c * 4 + 3] = v.w;
}

vec3 mat4::getColumn3(int c) const
{
    return vec3(m[c * 4], m[c * 4 + 1], m[c * 4 + 2]);
}

void mat4::setColumn3(int c, const vec3 &v)
{
    m[c * 4] = v.x;
    m[c * 4 + 1] = v.y;
    m[c * 4 + 2] = v.z;
}

vec4 mat4::getRow(int r) const
{
    return vec4(m[r], m[4 + r], m[8 + r], m[12 + r]);
}

vec3 mat4::getScale() const
{
    return vec3(getColumn3(0).length(), getColumn3(1).length(), getColumn3(2).length());
}

mat4 mat4::operator*(const mat4 &o) const
{
    mat4 r(0.0f);
    for (int c = 0; c < 4; c++) {
        for (int row = 0; row < 4; row++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++)
                sum += m[k * 4 + row] * o.m[c * 4 + k];
            r.m[c * 4 + row] = sum;
        }
    }
    return r;
}

vec4 mat4::operator*(const vec4 &v) const
{
    return vec4(m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12] * v.w, m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13] * v.w,
                m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14] * v.w,
                m[3] * v.x + m[7] * v.y + m[11] * v.z + m[15] * v.w);
}

vec3 mat4::operator*(const vec3 &v) const
{
    return vec3(m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12], m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13],
                m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14]);
}

bool mat4::operator==(const mat4 &o) const
{
    for (int i = 0; i < 16; i++)
        if (m[i] != o.m[i])
            return false;
    return true;
}

namespace Math {

bool compare(float a, float b, float epsilon)
{
    return std::fabs(a - b) <= epsilon;
}

bool compare(const vec3 &a, const vec3 &b, float epsilon)
{
    return compare(a.x, b.x, epsilon) && compare(a.y, b.y, epsilon) && compare(a.z, b.z, epsilon);
}

bool compare(const vec4 &a, const vec4 &b, float epsilon)
{
    return compare(a.x, b.x, epsilon) && compare(a.y, b.y, epsilon) && compare(a.z, b.z, epsilon)
            && compare(a.w, b.w, epsilon);
}

bool compare(const quat &a, const quat &b, float epsilon)
{
    const bool same = compare(a.x, b.x, epsilon) && compare(a.y, b.y, epsilon) && compare(a.z, b.z, epsilon)
            && compare(a.w, b.w, epsilon);
    const bool negated = compare(a.x, -b.x, epsilon) && compare(a.y, -b.y, epsilon) && compare(a.z, -b.z, epsilon)
            && compare(a.w, -b.w, epsilon);
    return same || negated;
}

bool compare(const mat4 &a, const mat4 &b, float epsilon)
{
    for (int i = 0; i < 16; i++)
        if (!compare(a.m[i], b.m[i], epsilon))
            return false;
    return true;
}

float dot(const vec2 &a, const vec2 &b)
{
    return a.x * b.x + a.y * b.y;
}
float dot(const vec3 &a, const vec3 &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
float dot(const vec4 &a, const vec4 &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}
float dot(const quat &a, const quat &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

vec3 cross(const vec3 &a, const vec3 &b)
{
    return vec3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

float length(const vec3 &v)
{
    return v.length();
}

vec2 normalize(const vec2 &v)
{
    const float len = v.length();
    return len > 0.0f ? v / len : v;
}

vec3 normalize(const vec3 &v)
{
    const float len = v.length();
    return len > 0.0f ? v / len : v;
}

vec4 normalize(const vec4 &v)
{
    const float len = v.length();
    return len > 0.0f ? v / len : v;
}

quat normalize(const quat &q)
{
    return q.normalize();
}

vec3 min(const vec3 &a, const vec3 &b)
{
    return vec3(std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z));
}
vec3 max(const vec3 &a, const vec3 &b)
{
    return vec3(std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z));
}

mat4 translate(float x, float y, float z)
{
    mat4 r;
    r.m[12] = x;
    r.m[13] = y;
    r.m[14] = z;
    return r;
}

mat4 translate(const vec3 &t)
{
    return translate(t.x, t.y, t.z);
}

mat4 rotateX(float angle)
{
    const float a = angle * DEG2RAD;
    const float c = std::cos(a), s = std::sin(a);
    mat4 r;
    r.m[5] = c;
    r.m[6] = s;
    r.m[9] = -s;
    r.m[10] = c;
    return r;
}

mat4 rotateY(float angle)
{
    const float a = angle * DEG2RAD;
    const float c = std::cos(a), s = std::sin(a);
    mat4 r;
    r.m[0] = c;
    r.m[2] = -s;
    r.m[8] = s;
    r.m[10] = c;
    return r;
}

mat4 rotateZ(float angle)
{
    const float a = angle * DEG2RAD;
    const float c = std::cos(a), s = std::sin(a);
    mat4 r;
    r.m[0] = c;
    r.m[1] = s;
    r.m[4] = -s;
    r.m[5] = c;
    return r;
}

mat4 rotate(const vec3 &axis, float angle)
{
    return mat4(quat(axis, angle));
}
mat4 rotate(const quat &q)
{
    return mat4(q);
}

mat4 scale(float x, float y, float z)
{
    mat4 r;
    r.m[0] = x;
    r.m[5] = y;
    r.m[10] = z;
    return r;
}

mat4 scale(const vec3 &s)
{
    return scale(s.x, s.y, s.z);
}

mat4 transpose(const mat4 &m)
{
    mat4 r;
    for (int c = 0; c < 4; c++)
        for (int row = 0; row < 4; row++)
            r.m[c * 4 + row] = m.m[row * 4 + c];
    return r;
}

namespace {

// Cofactor expansion; inv receives the adjugate, the determinant is returned.
float adjugate(const float *m, float *inv)
{
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] + m[9] * m[7] * m[14]
            + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] - m[8] * m[7] * m[14]
            - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] + m[8] * m[7] * m[13]
            + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] - m[8] * m[6] * m[13]
            - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] - m[9] * m[3] * m[14]
            - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] + m[8] * m[3] * m[14]
            + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] - m[8] * m[3] * m[13]
            - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] + m[8] * m[2] * m[13]
            + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] + m[13] * m[2] * m[7]
            - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] - m[4] * m[3] * m[14]
            - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] + m[4] * m[3] * m[13]
            + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] - m[4] * m[2] * m[13]
            - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] - m[5] * m[3] * m[10] - m[9] * m[2] * m[7]
            + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] + m[8] * m[2] * m[7]
            - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] - m[8] * m[1] * m[7]
            + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] + m[8] * m[1] * m[6]
            - m[8] * m[2] * m[5];
    return m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
}

} // namespace

float determinant(const mat4 &m)
{
    float inv[16];
    return adjugate(m.m, inv);
}

mat4 inverse(const mat4 &m)
{
    float inv[16];
    const float det = adjugate(m.m, inv);
    if (det == 0.0f || !std::isfinite(det))
        return mat4();
    const float f = 1.0f / det;
    mat4 r;
    for (int i = 0; i < 16; i++)
        r.m[i] = inv[i] * f;
    return r;
}

mat4 ortho(float left, float right, float bottom, float top, float znear, float zfar)
{
    mat4 r;
    r.m[0] = 2.0f / (right - left);
    r.m[5] = 2.0f / (top - bottom);
    r.m[10] = -2.0f / (zfar - znear);
    r.m[12] = -(right + left) / (right - left);
    r.m[13] = -(top + bottom) / (top - bottom);
    r.m[14] = -(zfar + znear) / (zfar - znear);
    return r;
}

mat4 perspective(float fov, float aspect, float znear, float zfar)
{
    const float f = 1.0f / std::tan(fov * DEG2RAD * 0.5f);
    mat4 r(0.0f);
    r.m[0] = f / aspect;
    r.m[5] = f;
    r.m[10] = (zfar + znear) / (znear - zfar);
    r.m[11] = -1.0f;
    r.m[14] = 2.0f * zfar * znear / (znear - zfar);
    return r;
}

mat4 lookAt(const vec3 &eye, const vec3 &target, const vec3 &up)
{
    const vec3 f = normalize(target - eye);
    vec3 s = cross(f, up);
    if (s.length2() < EPSILON) // up parallel to the view direction: pick another one
        s = cross(f, std::fabs(f.z) < 0.9f ? vec3(0, 0, 1) : vec3(0, 1, 0));
    s = normalize(s);
    const vec3 u = cross(s, f);
    mat4 r;
    r.m[0] = s.x;
    r.m[4] = s.y;
    r.m[8] = s.z;
    r.m[1] = u.x;
    r.m[5] = u.y;
    r.m[9] = u.z;
    r.m[2] = -f.x;
    r.m[6] = -f.y;
    r.m[10] = -f.z;
    r.m[12] = -dot(s, eye);
    r.m[13] = -dot(u, eye);
    r.m[14] = dot(f, eye);
    return r;
}

quat slerp(const quat &a, const quat &b, float t)
{
    quat end = b;
    float cosine = dot(a, b);
    if (cosine < 0.0f) {
        cosine = -cosine;
        end = quat(-b.x, -b.y, -b.z, -b.w);
    }
    float k0 = 1.0f - t, k1 = t;
    if (cosine < 0.9995f) {
        const float angle = std::acos(cosine);
        const float s = std::sin(angle);
        k0 = std::sin((1.0f - t) * angle) / s;
        k1 = std::sin(t * angle) / s;
    }
    return quat(a.x * k0 + end.x * k1, a.y * k0 + end.y * k1, a.z * k0 + end.z * k1, a.w * k0 + end.w * k1).normalize();
}

mat4 compose(const vec3 &position, const quat &rotation, const vec3 &s)
{
    return translate(position) * mat4(rotation) * scale(s);
}

void decompose(const mat4 &m, vec3 &position, quat &rotation, vec3 &s)
{
    position = m.getColumn3(3);
    s = m.getScale();
    if (determinant(m) < 0.0f)
        s.x = -s.x;
    rotation = quat(m);
}

} // namespace Math

} // namespace Velmora
