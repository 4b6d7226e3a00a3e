#include "model/vec_math.h"

#include <cmath>

namespace {
inline double& at(Matrix4d* m, int row, int col) {
    return m->m[4 * row + col];
}
inline double at(const Matrix4d* m, int row, int col) {
    return m->m[4 * row + col];
}
} // namespace

void mat4Multiply(const Matrix4d* a, const Matrix4d* b, Matrix4d* out) {
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            at(out, i, j) = at(b, i, 0) * at(a, 0, j) + at(b, i, 1) * at(a, 1, j) +
                            at(b, i, 2) * at(a, 2, j) + at(b, i, 3) * at(a, 3, j);
        }
    }
}

Matrix4d* mat4RotateZ(Matrix4d* m, double angle) {
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    *m = Matrix4d{{c, s, 0.0, 0.0, -s, c, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 0.0, 1.0}};
    return m;
}

Matrix4d* mat4RotateAxis(Matrix4d* m, const DVec3* axis, double angle) {
    const double length = std::sqrt(axis->x * axis->x + axis->y * axis->y + axis->z * axis->z);
    const double x = axis->x / length;
    const double y = axis->y / length;
    const double z = axis->z / length;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const double t = 1.0 - c;
    // The transpose of the familiar column-vector rotation, so that p . m turns p by +angle.
    *m = Matrix4d{{c + x * x * t, x * y * t + s * z, z * x * t - s * y, 0.0, //
                   x * y * t - s * z, y * y * t + c, y * z * t + x * s, 0.0, //
                   z * x * t + s * y, y * z * t - x * s, z * z * t + c, 0.0, //
                   0.0, 0.0, 0.0, 1.0}};
    return m;
}

DVec3 mat4TransformPoint(const Matrix4d* m, DVec3 p) {
    DVec3 r;
    r.x = p.x * at(m, 0, 0) + p.y * at(m, 1, 0) + p.z * at(m, 2, 0) + at(m, 3, 0);
    r.y = p.x * at(m, 0, 1) + p.y * at(m, 1, 1) + p.z * at(m, 2, 1) + at(m, 3, 1);
    r.z = p.x * at(m, 0, 2) + p.y * at(m, 1, 2) + p.z * at(m, 2, 2) + at(m, 3, 2);
    return r;
}
