#pragma once

#include <cmath>

namespace Velmora {

// Single-precision vector and matrix math of the engine.
// Matrices are column-major and act on column vectors (M * v); angles given
// to the Math:: helpers are in degrees. World space is right-handed, Z up.

struct vec2
{
    float x = 0.0f, y = 0.0f;

    vec2() = default;
    constexpr vec2(float x_, float y_)
        : x(x_)
        , y(y_)
    {}
    explicit constexpr vec2(float v)
        : x(v)
        , y(v)
    {}

    float &operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }

    vec2 operator+(const vec2 &o) const { return vec2(x + o.x, y + o.y); }
    vec2 operator-(const vec2 &o) const { return vec2(x - o.x, y - o.y); }
    vec2 operator-() const { return vec2(-x, -y); }
    vec2 operator*(float s) const { return vec2(x * s, y * s); }
    vec2 operator/(float s) const { return vec2(x / s, y / s); }
    vec2 &operator+=(const vec2 &o)
    {
        x += o.x;
        y += o.y;
        return *this;
    }
    vec2 &operator-=(const vec2 &o)
    {
        x -= o.x;
        y -= o.y;
        return *this;
    }
    vec2 &operator*=(float s)
    {
        x *= s;
        y *= s;
        return *this;
    }
    bool operator==(const vec2 &o) const { return x == o.x && y == o.y; }
    bool operator!=(const vec2 &o) const { return !(*this == o); }

    float length() const { return std::sqrt(x * x + y * y); }
};

struct vec3
{
    float x = 0.0f, y = 0.0f, z = 0.0f;

    vec3() = default;
    constexpr vec3(float x_, float y_, float z_)
        : x(x_)
        , y(y_)
        , z(z_)
    {}
    explicit constexpr vec3(float v)
        : x(v)
        , y(v)
        , z(v)
    {}

    float &operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }

    vec3 operator+(const vec3 &o) const { return vec3(x + o.x, y + o.y, z + o.z); }
    vec3 operator-(const vec3 &o) const { return vec3(x - o.x, y - o.y, z - o.z); }
    vec3 operator-() const { return vec3(-x, -y, -z); }
    vec3 operator*(float s) const { return vec3(x * s, y * s, z * s); }
    vec3 operator*(const vec3 &o) const { return vec3(x * o.x, y * o.y, z * o.z); }
    vec3 operator/(float s) const { return vec3(x / s, y / s, z / s); }
    vec3 &operator+=(const vec3 &o)
    {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
    vec3 &operator-=(const vec3 &o)
    {
        x -= o.x;
        y -= o.y;
        z -= o.z;
        return *this;
    }
    vec3 &operator*=(float s)
    {
        x *= s;
        y *= s;
        z *= s;
        return *this;
    }
    bool operator==(const vec3 &o) const { return x == o.x && y == o.y && z == o.z; }
    bool operator!=(const vec3 &o) const { return !(*this == o); }

    float length() const { return std::sqrt(x * x + y * y + z * z); }
    float length2() const { return x * x + y * y + z * z; }
};

struct vec4
{
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;

    vec4() = default;
    constexpr vec4(float x_, float y_, float z_, float w_)
        : x(x_)
        , y(y_)
        , z(z_)
        , w(w_)
    {}
    constexpr vec4(const vec3 &v, float w_)
        : x(v.x)
        , y(v.y)
        , z(v.z)
        , w(w_)
    {}
    explicit constexpr vec4(float v)
        : x(v)
        , y(v)
        , z(v)
        , w(v)
    {}

    float &operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }
    vec3 xyz() const { return vec3(x, y, z); }

    vec4 operator+(const vec4 &o) const { return vec4(x + o.x, y + o.y, z + o.z, w + o.w); }
    vec4 operator-(const vec4 &o) const { return vec4(x - o.x, y - o.y, z - o.z, w - o.w); }
    vec4 operator-() const { return vec4(-x, -y, -z, -w); }
    vec4 operator*(float s) const { return vec4(x * s, y * s, z * s, w * s); }
    vec4 operator*(const vec4 &o) const { return vec4(x * o.x, y * o.y, z * o.z, w * o.w); }
    vec4 operator/(float s) const { return vec4(x / s, y / s, z / s, w / s); }
    vec4 &operator+=(const vec4 &o)
    {
        x += o.x;
        y += o.y;
        z += o.z;
        w += o.w;
        return *this;
    }
    vec4 &operator*=(float s)
    {
        x *= s;
        y *= s;
        z *= s;
        w *= s;
        return *this;
    }
    bool operator==(const vec4 &o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
    bool operator!=(const vec4 &o) const { return !(*this == o); }

    float length() const { return std::sqrt(x * x + y * y + z * z + w * w); }
};

inline vec2 operator*(float s, const vec2 &v)
{
    return v * s;
}
inline vec3 operator*(float s, const vec3 &v)
{
    return v * s;
}
inline vec4 operator*(float s, const vec4 &v)
{
    return v * s;
}

struct mat4;

// Rotation quaternion (x, y, z vector part, w scalar part).
// q * v rotates v by q; v * q rotates v by the inverse of q.
struct quat
{
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;

    quat() = default;
    constexpr quat(float x_, float y_, float z_, float w_)
        : x(x_)
        , y(y_)
        , z(z_)
        , w(w_)
    {}
    // Rotation of angle degrees around axis (normalised here).
    quat(const vec3 &axis, float angle);
    // Rotation part of m (its upper 3x3 with the scale removed).
    explicit quat(const mat4 &m);

    float &operator[](int i) { return (&x)[i]; }
    float operator[](int i) const { return (&x)[i]; }

    quat operator*(const quat &o) const;
    vec3 operator*(const vec3 &v) const;
    bool operator==(const quat &o) const { return x == o.x && y == o.y && z == o.z && w == o.w; }
    bool operator!=(const quat &o) const { return !(*this == o); }

    quat conjugate() const { return quat(-x, -y, -z, w); }
    quat normalize() const;
    float length() const { return std::sqrt(x * x + y * y + z * z + w * w); }
    // Rotation angle in degrees and axis.
    float getAngle(vec3 &axis) const;
};

// Rotates v by the inverse of q (world to local).
vec3 operator*(const vec3 &v, const quat &q);

// 4x4 float matrix, column-major: m[column * 4 + row]. Identity by default.
struct mat4
{
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

    mat4() = default;
    explicit mat4(float diagonal);
    // The 16 values in column-major order.
    explicit mat4(const float *values);
    // Rotation matrix of q.
    explicit mat4(const quat &q);

    float &operator[](int i) { return m[i]; }
    float operator[](int i) const { return m[i]; }
    float &get(int row, int column) { return m[column * 4 + row]; }
    float get(int row, int column) const { return m[column * 4 + row]; }
    void set(int row, int column, float value) { m[column * 4 + row] = value; }

    vec4 getColumn(int column) const;
    void setColumn(int column, const vec4 &v);
    vec3 getColumn3(int column) const;
    // Sets rows 0..2 of a column; row 3 is kept.
    void setColumn3(int column, const vec3 &v);
    vec4 getRow(int row) const;

    vec3 getTranslate() const { return getColumn3(3); }
    void setTranslate(const vec3 &t) { setColumn3(3, t); }
    // Lengths of the first three columns.
    vec3 getScale() const;
    // Rotation part as a quaternion.
    quat getRotate() const { return quat(*this); }

    mat4 operator*(const mat4 &o) const;
    vec4 operator*(const vec4 &v) const;
    // Transforms a point (w = 1, no perspective divide).
    vec3 operator*(const vec3 &v) const;
    bool operator==(const mat4 &o) const;
    bool operator!=(const mat4 &o) const { return !(*this == o); }

    static mat4 identity() { return mat4(); }
};

namespace Math {

constexpr float PI = 3.14159265358979323846f;
constexpr float DEG2RAD = PI / 180.0f;
constexpr float RAD2DEG = 180.0f / PI;
constexpr float EPSILON = 1e-6f;

inline float toRadians(float degrees)
{
    return degrees * DEG2RAD;
}
inline float toDegrees(float radians)
{
    return radians * RAD2DEG;
}
template<typename T>
inline T clamp(T v, T lo, T hi)
{
    return v < lo ? lo : (hi < v ? hi : v);
}
template<typename T>
inline T lerp(const T &a, const T &b, float t)
{
    return a + (b - a) * t;
}
bool compare(float a, float b, float epsilon = 1e-5f);
bool compare(const vec3 &a, const vec3 &b, float epsilon = 1e-5f);
bool compare(const vec4 &a, const vec4 &b, float epsilon = 1e-5f);
bool compare(const quat &a, const quat &b, float epsilon = 1e-5f); // q and -q are equal
bool compare(const mat4 &a, const mat4 &b, float epsilon = 1e-5f);

float dot(const vec2 &a, const vec2 &b);
float dot(const vec3 &a, const vec3 &b);
float dot(const vec4 &a, const vec4 &b);
float dot(const quat &a, const quat &b);
vec3 cross(const vec3 &a, const vec3 &b);
float length(const vec3 &v);
// Unit vector; the zero vector stays zero.
vec2 normalize(const vec2 &v);
vec3 normalize(const vec3 &v);
vec4 normalize(const vec4 &v);
quat normalize(const quat &q);
vec3 min(const vec3 &a, const vec3 &b);
vec3 max(const vec3 &a, const vec3 &b);

mat4 translate(float x, float y, float z);
mat4 translate(const vec3 &t);
// Counter-clockwise looking down the axis towards the origin; degrees.
mat4 rotateX(float angle);
mat4 rotateY(float angle);
mat4 rotateZ(float angle);
mat4 rotate(const vec3 &axis, float angle);
mat4 rotate(const quat &q);
mat4 scale(float x, float y, float z);
mat4 scale(const vec3 &s);
mat4 transpose(const mat4 &m);
// General inverse; a singular matrix gives the identity.
mat4 inverse(const mat4 &m);
float determinant(const mat4 &m);
// OpenGL clip conventions (z in -1..1 after the divide).
mat4 ortho(float left, float right, float bottom, float top, float znear, float zfar);
// fov: vertical field of view in degrees.
mat4 perspective(float fov, float aspect, float znear, float zfar);
// View matrix (world to eye) of an eye looking at target; the eye looks down its -Z.
mat4 lookAt(const vec3 &eye, const vec3 &target, const vec3 &up);
// Spherical interpolation (shortest arc).
quat slerp(const quat &a, const quat &b, float t);
// Composes translation * rotation * scale.
mat4 compose(const vec3 &position, const quat &rotation, const vec3 &scale);
// Splits a transform into translation, rotation and (positive) scale.
void decompose(const mat4 &m, vec3 &position, quat &rotation, vec3 &scale);

} // namespace Math

} // namespace Velmora
