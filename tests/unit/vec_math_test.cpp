// The rotation helpers: conventions the camera's tilt and the preview depend on.
#include <cmath>

#include <gtest/gtest.h>

#include "model/vec_math.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTolerance = 1e-12;

Matrix4d identity() {
    return Matrix4d{{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};
}

Matrix4d numbered(double base) {
    Matrix4d m;
    for (int i = 0; i < 16; ++i) {
        m.m[i] = base + i * 0.5;
    }
    return m;
}

void expectVecNear(const DVec3& expected, const DVec3& actual) {
    EXPECT_NEAR(expected.x, actual.x, kTolerance);
    EXPECT_NEAR(expected.y, actual.y, kTolerance);
    EXPECT_NEAR(expected.z, actual.z, kTolerance);
}

double length(const DVec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

TEST(Mat4Multiply, IdentityOnEitherSideGivesTheOtherOperand) {
    const Matrix4d id = identity();
    const Matrix4d m = numbered(-3.0);
    Matrix4d out;
    mat4Multiply(&id, &m, &out);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m.m[i], out.m[i]) << i;
    }
    mat4Multiply(&m, &id, &out);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(m.m[i], out.m[i]) << i;
    }
}

TEST(Mat4Multiply, TransformsBySecondOperandFirst) {
    // b turns y onto z about x; a turns about z and leaves z alone. Swapping the operands would
    // carry y to -x instead.
    Matrix4d a;
    Matrix4d b;
    mat4RotateZ(&a, kPi / 2);
    const DVec3 xAxis = {1, 0, 0};
    mat4RotateAxis(&b, &xAxis, kPi / 2);
    Matrix4d out;
    mat4Multiply(&a, &b, &out);
    expectVecNear(DVec3{0, 0, 1}, mat4TransformPoint(&out, DVec3{0, 1, 0}));
}

TEST(Mat4Multiply, SumsRowOfSecondTimesColumnOfFirst) {
    const Matrix4d a = numbered(1.0);
    const Matrix4d b = numbered(-2.0);
    Matrix4d out;
    mat4Multiply(&a, &b, &out);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            const double expected = b.m[4 * i + 0] * a.m[0 + j] + b.m[4 * i + 1] * a.m[4 + j] +
                                    b.m[4 * i + 2] * a.m[8 + j] + b.m[4 * i + 3] * a.m[12 + j];
            EXPECT_EQ(expected, out.m[4 * i + j]) << i << "," << j;
        }
    }
}

TEST(Mat4RotateZ, QuarterTurnCarriesXToYAndKeepsZ) {
    Matrix4d m;
    mat4RotateZ(&m, kPi / 2);
    expectVecNear(DVec3{0, 1, 0}, mat4TransformPoint(&m, DVec3{1, 0, 0}));
    expectVecNear(DVec3{0, 0, 1}, mat4TransformPoint(&m, DVec3{0, 0, 1}));
}

TEST(Mat4RotateZ, OverwritesEveryElementAndReturnsItsMatrix) {
    Matrix4d m = numbered(100.0);
    EXPECT_EQ(&m, mat4RotateZ(&m, 0.0));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(identity().m[i], m.m[i]) << i;
    }
}

TEST(Mat4RotateAxis, AboutZMatchesRotateZAndIgnoresAxisLength) {
    for (double angle : {-2.0, -0.3, 0.7, 3.0}) {
        Matrix4d aboutZ;
        Matrix4d unitAxis;
        Matrix4d longAxis;
        const DVec3 z1 = {0, 0, 1};
        const DVec3 z2 = {0, 0, 2};
        mat4RotateZ(&aboutZ, angle);
        mat4RotateAxis(&unitAxis, &z1, angle);
        mat4RotateAxis(&longAxis, &z2, angle);
        for (int i = 0; i < 16; ++i) {
            EXPECT_NEAR(aboutZ.m[i], unitAxis.m[i], kTolerance) << angle << " " << i;
            EXPECT_EQ(unitAxis.m[i], longAxis.m[i]) << angle << " " << i;
        }
    }
}

TEST(Mat4RotateAxis, ZeroAngleIsIdentityForAnyAxis) {
    for (const DVec3 axis : {DVec3{1, 2, 3}, DVec3{-0.1, 0, 0}, DVec3{0, 5, -5}}) {
        Matrix4d m = numbered(7.0);
        EXPECT_EQ(&m, mat4RotateAxis(&m, &axis, 0.0));
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(identity().m[i], m.m[i]) << i;
        }
    }
}

TEST(Mat4RotateAxis, RotationsKeepLengthAndTurnAboutTheAxis) {
    const DVec3 axis = {1, 1, 0};
    Matrix4d m;
    mat4RotateAxis(&m, &axis, kPi);
    // Half a turn about the diagonal swaps x and y and flips z.
    expectVecNear(DVec3{0, 1, 0}, mat4TransformPoint(&m, DVec3{1, 0, 0}));
    expectVecNear(DVec3{0, 0, -1}, mat4TransformPoint(&m, DVec3{0, 0, 1}));
    const DVec3 p = {0.3, -2.0, 1.7};
    EXPECT_NEAR(length(p), length(mat4TransformPoint(&m, p)), kTolerance);
}

TEST(Mat4TransformPoint, AddsRowThreeAndIgnoresColumnThree) {
    Matrix4d m = identity();
    m.m[12] = 1.0; // translation row
    m.m[13] = 2.0;
    m.m[14] = 3.0;
    m.m[3] = 99.0; // column 3 is never used
    m.m[15] = 0.0;
    const DVec3 r = mat4TransformPoint(&m, DVec3{1, 1, 1});
    EXPECT_EQ(2.0, r.x);
    EXPECT_EQ(3.0, r.y);
    EXPECT_EQ(4.0, r.z);
}

} // namespace
