// Three-component vectors and 4x4 matrices of doubles, as the host exchanges them.
//
// Matrices are row-major (element (r, c) at index 4r + c) and act on row vectors from the left:
// p' = p . M, with any translation in row 3. The helpers build pure rotations only.
#pragma once

struct DVec3 {
    double x;
    double y;
    double z;
};

struct Matrix4d {
    double m[16];
};

// out = b . a: transforming by out is transforming by b first, then by a.
// out must be a third matrix, distinct from both operands.
void mat4Multiply(const Matrix4d* a, const Matrix4d* b, Matrix4d* out);

// Rotation about +z by angle (radians); a positive angle turns +x towards +y.
Matrix4d* mat4RotateZ(Matrix4d* m, double angle);

// Rotation by angle (radians) about axis, for row vectors, in the same sense as mat4RotateZ.
// The axis must have non-zero length; its length does not matter.
Matrix4d* mat4RotateAxis(Matrix4d* m, const DVec3* axis, double angle);

// p . m for the upper 3x4 block: rows 0-2 times p plus row 3. Column 3 is ignored, nothing is
// divided by a fourth component.
DVec3 mat4TransformPoint(const Matrix4d* m, DVec3 p);
