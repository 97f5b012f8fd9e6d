// Culling: whether a mesh's faces can reach the band's rows at all, and
// whether any needs clipping, decided from its box before a face is touched.
// Three tests, cheapest first: farFromBand (the box's centre and extents
// against the band, for a worker's cells far from its rows), placeMesh (the
// box's corners against the frustum's side planes) and, for a mesh inside
// them, outsideBand (the corners against the band's first and last rows).
#include <cmath>

#include "render/render_local.h"
#include "scene/scene.h"

// placeMesh: where the whole mesh lies against the frustum, judged from the
// corners of its bounding box: MESH_OUTSIDE when every vertex lies outside one
// plane, so that the clipper drops each face on its first look; MESH_INSIDE
// when every vertex lies inside every plane, so that the clipper returns each
// face unchanged; MESH_ACROSS otherwise, and whenever that cannot be proved.
//
// The proof: a plane's exact value at a vertex is affine in its object
// position, so over the box it lies between the values at the corners, which
// double precision gets to within a few 2^-53 of their size (a product of two
// floats is exact there). The clipper sees instead the value computed in
// float from the vertex's view position, itself computed in float: two sums
// of four terms, each off by at most 4u / (1 - 4u) (u = 2^-24) of the sum of
// its terms' magnitudes. With P the box's largest magnitude per axis,
// M = P.x |m0| + P.y |m4| + P.z |m8| + |m12| bounds that sum for view x (and
// likewise y and z), and the plane value is off by at most about
// 2 * 4u * (|a| Mx + |b| My + |c| Mz + |d|) = 4.8e-7 of that sum. The margin
// takes 1e-6 of it, with room for the corners' own rounding, plus a little
// for products that fall below the normal range. Nothing here can overflow
// while the sum stays below 1e30; past that the short cuts are not taken.
//
// With several workers a mesh inside the frustum whose every vertex projects
// outside the band being drawn is MESH_OUTSIDE too: scan conversion would
// give each of its faces rows of other bands only. Projected y is
// focal y / z + halfHeight, so with z > 0 it is at most a row r exactly when
// focal y - (r - halfHeight) z is at most 0: another plane through the eye,
// judged the same way. The float projection (a product, a quotient and a
// sum, |y| below the screen height inside the frustum) adds at most about
// 6e-7 of the height in pixels, 6e-7 height z to the plane value; the margin
// takes 1e-5 (height + 1) times the largest z. A vertex at z below 0.1 drops
// its face whatever its y.

// M of the proof above for each view axis: over the box, the bound on the
// sum of the magnitudes of a view coordinate's terms (P.x |m0| + P.y |m4| +
// P.z |m8| + |m12| for x).
static void boxReach(const MeshBounds* bounds, const float* m, double reach[3])
{
    double extent[3];
    for (int i = 0; i < 3; i++)
        extent[i] = fmax(fabs((double)bounds->low[i]), fabs((double)bounds->high[i]));
    for (int j = 0; j < 3; j++)
        reach[j] = extent[0] * fabs((double)m[j]) + extent[1] * fabs((double)m[4 + j]) +
            extent[2] * fabs((double)m[8 + j]) + fabs((double)m[12 + j]);
}

// The margin a side plane's value over the box is judged with: `share` of
// the sum of its terms' magnitudes, |a| Mx + |b| My + |c| Mz + |d|, and
// `floor` for products that fall below the normal range. False when that sum
// is not below 1e30: a NaN or infinite box, matrix or plane decides nothing.
static bool planeMargin(const Plane& plane, const double reach[3], double share, double floor, double* margin)
{
    const double terms = fabs((double)plane.a) * reach[0] + fabs((double)plane.b) * reach[1] +
        fabs((double)plane.c) * reach[2] + fabs((double)plane.d);
    if (!(terms < 1e30))
        return false;
    *margin = share * terms + floor;
    return true;
}

// Whether the plane focal y - (row - halfHeight) z is below -margin (side < 0)
// or above margin (side > 0) at every corner.
static bool cornersBeyondRow(const double corners[8][3], const double reach[3], double row, int side)
{
    const double halfHeight = (double)(renderer.height / 2);
    const double slope = row - halfHeight;
    const double terms = fabs((double)renderer.focal) * reach[1] + fabs(slope) * reach[2];
    const double margin = 1e-6 * terms + 1e-5 * (renderer.height + 1.0) * reach[2] + 1e-37;
    for (int c = 0; c < 8; c++) {
        const double s = (double)renderer.focal * corners[c][1] - slope * corners[c][2];
        if (side < 0 ? !(s < -margin) : !(s > margin))
            return false;
    }
    return true;
}

// For a mesh inside the frustum: whether every vertex projects above the
// band (at most its first row, which scan conversion leaves to the rows
// before: the faces are whole triangles, whose rows run from the ceiling of
// the least y to that of the greatest) or below it (beyond its last row).
// A quad's pixel of its own lies on the ceiling of its middle's y, which may
// be the ceiling of the greatest: `slack` rows more keep such a pixel's row
// out of every band that passes the mesh over.
static bool outsideBand(const RenderBand* band, const double corners[8][3], const double reach[3], int32_t slack)
{
    if (band->allRows)
        return false;
    return cornersBeyondRow(corners, reach, (double)(band->first - slack), -1) ||
        cornersBeyondRow(corners, reach, (double)(band->end - 1 + slack), 1);
}

// Whether the mesh's box lies at least 8 rows above or below the band, by a
// test far cheaper than placeMesh's: the box as its centre and half extents,
// each plane at the centre (in double, from the float matrix) gives the least
// and greatest plane value over the box. An unclipped face's points are its
// vertices, inside the box up to the float rounding of the transform, which
// the margin covers as placeMesh's does, so they project beyond the row of
// the band's plane. A clipped face proves nothing: where its edge lies in a
// side plane to within rounding, the clipper divides by a tiny, noisy
// denominator and its cut point can land anywhere along the edge's line, far
// outside the box. So FAR_DROP only when the box also lies inside every side
// plane (no face is clipped) or wholly outside one (the clipper drops every
// face); FAR_UNCLIPPED_ONLY when the box is far but across the side planes:
// the faces the clipper leaves whole can be passed over, the others must be
// drawn. The 8 rows of slack cover the projection's rounding and the rows a
// walk may go past the ceiling of its greatest y. Most cells of a frame lie
// far from a band's edges: they are dropped here without their corners being
// worked out.
enum FarFromBand { FAR_NOT, FAR_DROP, FAR_UNCLIPPED_ONLY };

static FarFromBand farFromBand(const RenderBand* band, const MeshBounds* bounds, const float* m)
{
    if (band->allRows)
        return FAR_NOT;
    double middle[3], halfExtent[3];
    for (int i = 0; i < 3; i++) {
        middle[i] = 0.5 * ((double)bounds->low[i] + (double)bounds->high[i]);
        halfExtent[i] = 0.5 * ((double)bounds->high[i] - (double)bounds->low[i]);
    }
    double centre[3], spread[3], reach[3];
    for (int j = 0; j < 3; j++) {
        centre[j] = middle[0] * m[j] + middle[1] * m[4 + j] + middle[2] * m[8 + j] + m[12 + j];
        spread[j] = halfExtent[0] * fabs((double)m[j]) + halfExtent[1] * fabs((double)m[4 + j]) +
            halfExtent[2] * fabs((double)m[8 + j]);
    }
    boxReach(bounds, m, reach);
    const double halfHeight = (double)(renderer.height / 2);
    const double f = (double)renderer.focal;
    // Every y above `above` and every y below `below`.
    const double rows[2] = {(double)band->first - 9.0, (double)band->end + 8.0};
    bool far = false;
    for (int side = 0; side < 2 && !far; side++) {
        const double slope = rows[side] - halfHeight;
        const double terms = fabs(f) * reach[1] + fabs(slope) * reach[2];
        // A NaN or infinite box or matrix decides nothing.
        if (!(terms < 1e30))
            return FAR_NOT;
        const double margin = 1e-5 * terms + 1e-30;
        const double value = f * centre[1] - slope * centre[2];
        const double width = fabs(f) * spread[1] + fabs(slope) * spread[2];
        far = side == 0 ? value + width < -margin : value - width > margin;
    }
    if (!far)
        return FAR_NOT;
    for (int k = 0; k < 4; k++) {
        const Plane& plane = renderer.frustum[k];
        double margin;
        if (!planeMargin(plane, reach, 1e-5, 1e-30, &margin))
            return FAR_NOT;
        const double value = plane.a * centre[0] + plane.b * centre[1] + plane.c * centre[2] + plane.d;
        const double width = fabs((double)plane.a) * spread[0] + fabs((double)plane.b) * spread[1] +
            fabs((double)plane.c) * spread[2];
        if (value + width < -margin)
            return FAR_DROP;
        if (!(value - width > margin))
            return FAR_UNCLIPPED_ONLY;
    }
    return FAR_DROP;
}

static MeshInFrustum placeMesh(const RenderBand* band, const MeshBounds* bounds, const float* m, int32_t slack)
{
    double reach[3];
    boxReach(bounds, m, reach);
    double corners[8][3];
    for (int c = 0; c < 8; c++) {
        const double x = c & 1 ? bounds->high[0] : bounds->low[0];
        const double y = c & 2 ? bounds->high[1] : bounds->low[1];
        const double z = c & 4 ? bounds->high[2] : bounds->low[2];
        for (int j = 0; j < 3; j++)
            corners[c][j] = x * m[j] + y * m[4 + j] + z * m[8 + j] + m[12 + j];
    }
    bool inside = true;
    for (int k = 0; k < 4; k++) {
        const Plane& plane = renderer.frustum[k];
        double margin;
        if (!planeMargin(plane, reach, 1e-6, 1e-37, &margin))
            return MESH_ACROSS;
        bool outside = true;
        for (int c = 0; c < 8; c++) {
            const double s = plane.a * corners[c][0] + plane.b * corners[c][1] + plane.c * corners[c][2] + plane.d;
            outside = outside && s < -margin;
            inside = inside && s > margin;
        }
        if (outside)
            return MESH_OUTSIDE;
    }
    if (!inside)
        return MESH_ACROSS;
    return outsideBand(band, corners, reach, slack) ? MESH_OUTSIDE : MESH_INSIDE;
}

MeshInFrustum cullMesh(const RenderBand* band, const MeshBounds* bounds, const float* m, int32_t quads)
{
    const FarFromBand far = farFromBand(band, bounds, m);
    if (far == FAR_DROP)
        return MESH_OUTSIDE;
    const MeshInFrustum placement = placeMesh(band, bounds, m, quads ? 1 : 0);
    return placement == MESH_ACROSS && far == FAR_UNCLIPPED_ONLY ? MESH_ACROSS_CLIPPED_ONLY : placement;
}
