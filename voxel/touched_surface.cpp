#include "voxel/touched_surface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "mesh/colour_source.h"
#include "mesh/mesh_frame.h"
#include "voxel/depth_build.h"
#include "voxel/triangle_box.h"

namespace kubelmar {

namespace {

using Point = std::array<double, 3>;

double coordinate(const Float3& p, int axis) { return axis == 0 ? p.x : axis == 1 ? p.y : p.z; }

// Keeps the part of a convex polygon where lo <= p[axis] <= hi.
void clipToInterval(const std::vector<Point>& in, int axis, double lo, double hi, std::vector<Point>& out) {
    std::vector<Point> mid;
    auto clip = [axis](const std::vector<Point>& from, double bound, double side, std::vector<Point>& to) {
        to.clear();
        for (std::size_t i = 0; i < from.size(); ++i) {
            const Point& p = from[i];
            const Point& q = from[(i + 1) % from.size()];
            const double dp = side * (p[axis] - bound), dq = side * (q[axis] - bound);
            if (dp >= 0) to.push_back(p);
            if ((dp >= 0) != (dq >= 0)) {
                const double t = dp / (dp - dq);
                Point r;
                for (int k = 0; k < 3; ++k) r[k] = p[k] + t * (q[k] - p[k]);
                r[axis] = bound;
                to.push_back(r);
            }
        }
    };
    clip(in, lo, 1, mid);
    clip(mid, hi, -1, out);
}

}  // namespace

TouchedSurface::TouchedSurface(SliceConsumer& inner, const Mesh& mesh, const std::vector<std::uint32_t>& faces,
                               ColourSource colour, const std::array<int, 3>& frameDims,
                               const std::array<SignedAxis, 3>& frameAxes, const std::array<double, 3>& unstretch,
                               bool addVoxels, SurfaceColourSink* colours)
    : inner_(inner), mesh_(mesh), faces_(faces), colour_(colour), dims_(frameDims), axes_(frameAxes),
      unstretch_(unstretch), stretched_(unstretch[0] != 1 || unstretch[1] != 1 || unstretch[2] != 1),
      addVoxels_(addVoxels), sink_(colours) {}

WriteResult TouchedSurface::begin(const VolumeInfo& info) {
    info_ = info;
    for (int a = 0; a < 3; ++a) step_[a] = kFrameSide / static_cast<double>(dims_[a]);
    added_ = 0;
    const std::size_t pixels =
        static_cast<std::size_t>(dims_[axes_[1].axis]) * static_cast<std::size_t>(dims_[axes_[2].axis]);
    slice_.resize(pixels * 4);
    mine_.assign(pixels, 0);
    nearest_.assign(pixels, 0.0f);
    touched_.clear();
    colours_.assign(sink_ ? pixels * 4 : 0, 0);
    colourNearest_.assign(sink_ ? pixels : 0, 0.0f);
    reported_.clear();

    // Each face's slices: the layers along the slice axis whose closed
    // extent meets the face's, one layer generous for rounding.
    const int axis = axes_[0].axis;
    const int slices = dims_[axis];
    const double step = step_[axis];
    const std::size_t count = faces_.size() / 3;
    firstSlice_.resize(count);
    lastSlice_.resize(count);
    startOf_.assign(static_cast<std::size_t>(slices) + 1, 0);
    for (std::size_t f = 0; f < count; ++f) {
        double lo = INFINITY, hi = -INFINITY;
        for (int k = 0; k < 3; ++k) {
            const double v = coordinate(mesh_.positions[faces_[3 * f + k]], axis);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        const double first = std::clamp(std::floor((lo + kFrameHalfSide) / step) - 1, 0.0, slices - 1.0);
        const double last = std::clamp(std::floor((hi + kFrameHalfSide) / step) + 1, 0.0, slices - 1.0);
        std::uint32_t a = static_cast<std::uint32_t>(first), b = static_cast<std::uint32_t>(last);
        if (axes_[0].sign < 0) {
            a = static_cast<std::uint32_t>(slices - 1 - last);
            b = static_cast<std::uint32_t>(slices - 1 - first);
        }
        firstSlice_[f] = a;
        lastSlice_[f] = b;
        ++startOf_[a + 1];
    }
    for (int k = 0; k < slices; ++k) startOf_[k + 1] += startOf_[k];
    byFirst_.resize(count);
    std::vector<std::size_t> fill(startOf_.begin(), startOf_.end() - 1);
    for (std::size_t f = 0; f < count; ++f) byFirst_[fill[firstSlice_[f]]++] = static_cast<std::uint32_t>(f);
    active_.clear();
    return inner_.begin(info);
}

WriteResult TouchedSurface::slice(int s, const std::uint8_t* rgba) {
    std::memcpy(slice_.data(), rgba, slice_.size());
    touchSlice(s);
    if (sink_) sink_->surfaceColours(s, colours_.data());
    return inner_.slice(s, slice_.data());
}

void TouchedSurface::touchSlice(int s) {
    const std::size_t sIndex = static_cast<std::size_t>(s);
    active_.erase(std::remove_if(active_.begin(), active_.end(), [&](std::uint32_t f) { return lastSlice_[f] < sIndex; }),
                  active_.end());
    for (std::size_t i = startOf_[sIndex]; i < startOf_[sIndex + 1]; ++i) active_.push_back(byFirst_[i]);
    for (std::uint32_t p : touched_) mine_[p] = 0;
    touched_.clear();
    for (std::uint32_t p : reported_) colours_[4 * static_cast<std::size_t>(p) + 3] = 0;
    reported_.clear();

    const std::array<SignedAxis, 3>& axes = axes_;
    const std::array<int, 3>& dims = dims_;
    const std::array<double, 3>& step = step_;
    const int width = dims[axes[2].axis];
    // Layer along an axis of stack index i, and back.
    auto layer = [&](const SignedAxis& a, int i) { return a.sign > 0 ? i : dims[a.axis] - 1 - i; };
    const double low = -static_cast<double>(kFrameHalfSide);
    const bool colour = info_.encoding == SliceEncoding::Colour;

    double half[3], centre[3], slack[3];
    for (int a = 0; a < 3; ++a) {
        half[a] = step[a] / 2;
        slack[a] = step[a] * 1e-6;  // clipping is generous by this; the exact test decides
    }
    const int a0 = axes[0].axis, a1 = axes[1].axis, a2 = axes[2].axis;
    const int sliceLayer = layer(axes[0], s);
    centre[a0] = low + (sliceLayer + 0.5) * step[a0];
    const double lo0 = low + sliceLayer * step[a0], hi0 = lo0 + step[a0];

    std::vector<Point> triangle(3), inLayer, inRow;
    for (std::uint32_t f : active_) {
        const std::uint32_t* corner = &faces_[3 * static_cast<std::size_t>(f)];
        double v[3][3];
        for (int k = 0; k < 3; ++k) {
            const Float3& p = mesh_.positions[corner[k]];
            v[k][0] = p.x;
            v[k][1] = p.y;
            v[k][2] = p.z;
            triangle[k] = {v[k][0], v[k][1], v[k][2]};
        }
        clipToInterval(triangle, a0, lo0 - slack[a0], hi0 + slack[a0], inLayer);
        if (inLayer.empty()) continue;
        // Rows (layers along the row axis) the face's part in this layer reaches.
        auto range = [&](const std::vector<Point>& poly, int axis, int& first, int& last) {
            double lo = INFINITY, hi = -INFINITY;
            for (const Point& p : poly) {
                lo = std::min(lo, p[axis]);
                hi = std::max(hi, p[axis]);
            }
            first = std::max(0, static_cast<int>(std::floor((lo - slack[axis] - low) / step[axis])));
            last = std::min(dims[axis] - 1, static_cast<int>(std::floor((hi + slack[axis] - low) / step[axis])));
        };
        int rowFirst, rowLast;
        range(inLayer, a1, rowFirst, rowLast);
        for (int rowLayer = rowFirst; rowLayer <= rowLast; ++rowLayer) {
            const double lo1 = low + rowLayer * step[a1];
            clipToInterval(inLayer, a1, lo1 - slack[a1], lo1 + step[a1] + slack[a1], inRow);
            if (inRow.empty()) continue;
            centre[a1] = lo1 + step[a1] / 2;
            int columnFirst, columnLast;
            range(inRow, a2, columnFirst, columnLast);
            const int row = layer(axes[1], rowLayer);
            for (int columnLayer = columnFirst; columnLayer <= columnLast; ++columnLayer) {
                const std::size_t pixel = static_cast<std::size_t>(row) * width + layer(axes[2], columnLayer);
                std::uint8_t* p = &slice_[4 * pixel];
                // The mode's own voxels are left as they are.
                const bool add = addVoxels_ && (mine_[pixel] || !voxelFilled(p, info_.encoding));
                if (!add && !sink_) continue;
                centre[a2] = low + (columnLayer + 0.5) * step[a2];
                if (!triangleTouchesBox(centre, half, v[0], v[1], v[2])) continue;
                if (add && !colour) {
                    std::memset(p, 255, 4);
                    ++added_;
                    if (!sink_) continue;
                }
                // The nearest touching face colours the voxel, nearest as
                // the prepared mesh measures it (the frame may be stretched
                // unevenly; barycentric weights survive the stretch).
                double w[3];
                const double(*tri)[3] = v;
                const double* from = centre;
                double sv[3][3], sc[3];
                if (stretched_) {
                    for (int a = 0; a < 3; ++a) {
                        sc[a] = centre[a] * unstretch_[a];
                        for (int k = 0; k < 3; ++k) sv[k][a] = v[k][a] * unstretch_[a];
                    }
                    tri = sv;
                    from = sc;
                }
                nearestOnTriangle(from, tri[0], tri[1], tri[2], w);
                double d2 = 0;
                for (int k = 0; k < 3; ++k) {
                    const double d = w[0] * tri[0][k] + w[1] * tri[1][k] + w[2] * tri[2][k] - from[k];
                    d2 += d * d;
                }
                if (sink_) report(f, w, d2, pixel);
                if (!add || !colour) continue;
                if (mine_[pixel] && nearest_[pixel] <= d2) continue;
                if (!mine_[pixel]) {
                    mine_[pixel] = 1;
                    touched_.push_back(static_cast<std::uint32_t>(pixel));
                    ++added_;
                }
                nearest_[pixel] = static_cast<float>(d2);
                colourAt(f, w, p);
                p[3] = 255;
            }
        }
    }
}

void TouchedSurface::report(std::uint32_t face, const double weights[3], double distance2, std::size_t pixel) {
    std::uint8_t* c = &colours_[4 * pixel];
    if (c[3] && colourNearest_[pixel] <= distance2) return;
    if (!c[3]) reported_.push_back(static_cast<std::uint32_t>(pixel));
    colourNearest_[pixel] = static_cast<float>(distance2);
    colourAt(face, weights, c);
    c[3] = 255;
}

void TouchedSurface::colourAt(std::uint32_t face, const double weights[3], std::uint8_t rgb[3]) const {
    const std::uint32_t* corner = &faces_[3 * static_cast<std::size_t>(face)];
    float c[3] = {0, 0, 0};
    const int texture = vertexTextureFor(mesh_, corner[0], colour_);
    if (texture >= 0 && static_cast<std::size_t>(texture) < mesh_.textures.size() && !mesh_.textures[texture].rgba.empty()) {
        // The texel at the point (nearest, repeating or clamped as the
        // material says), as the drawer samples it.
        const Texture& image = mesh_.textures[texture];
        double u = 0, v = 0;
        for (int k = 0; k < 3; ++k) {
            u += weights[k] * mesh_.texCoords[corner[k]][0];
            v += weights[k] * mesh_.texCoords[corner[k]][1];
        }
        const int material = mesh_.vertexMaterial.empty() ? -1 : mesh_.vertexMaterial[corner[0]];
        const bool clamp = material >= 0 && mesh_.materials[material].clampTexture;
        if (clamp) {
            u = std::clamp(u, 0.0, 1.0);
            v = std::clamp(v, 0.0, 1.0);
        } else {
            u -= std::floor(u);
            v -= std::floor(v);
        }
        const int x = std::min(image.width - 1, static_cast<int>(u * image.width));
        const int y = std::min(image.height - 1, static_cast<int>(v * image.height));
        const std::uint8_t* texel = &image.rgba[4 * (static_cast<std::size_t>(y) * image.width + x)];
        std::memcpy(rgb, texel, 3);
    } else {
        for (int k = 0; k < 3; ++k) {
            const Rgba colour = vertexColourFor(mesh_, corner[k], colour_);
            c[0] += static_cast<float>(weights[k]) * colour.r;
            c[1] += static_cast<float>(weights[k]) * colour.g;
            c[2] += static_cast<float>(weights[k]) * colour.b;
        }
        for (int k = 0; k < 3; ++k) rgb[k] = static_cast<std::uint8_t>(std::lround(std::clamp(c[k], 0.0f, 1.0f) * 255));
    }
    // A colour of grey level 0 reads as no voxel: the darkest visible grey instead.
    if (greyLevel(rgb[0], rgb[1], rgb[2]) == 0) rgb[0] = rgb[1] = rgb[2] = 1;
}

}  // namespace kubelmar
