// Editing the particle world. Removal is always deferred: an edit marks
// particles `zombie` and ends with one gc, so indices stay stable while it runs.
#include "particle_builder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

#include "cg_math_ext.h"
#include "texture.h"

namespace Zeb::Kamblo {

namespace {

using namespace Attribute;

// Attributes that tie a particle to others; a particle with any of them is new
// to the joining pass.
constexpr ParticleInfo kJoinable = elastic | rigid | spring | wall;
// Attributes that pin a particle to its anchor.
constexpr ParticleInfo kPinned = wall | axial;

ParticleInfo withNovelRecomputed(ParticleInfo i)
{
    return hasAny(i, kJoinable) ? (i | novel) : (i & ~novel);
}

// A spacing that can step a lattice forward. Anything else (zero, negative,
// infinite, NaN) places no particles instead of looping without end.
bool isUsableSpacing(float d) { return d > 0 && std::isfinite(d); }

// Squared distance from p to the segment a-b. For a = b the last case is 0/0,
// so no comparison succeeds and a stroke that has not moved changes nothing.
float segmentDistance(const float2& p, const float2& a, const float2& b)
{
    float2 v = p - a;
    float2 s = b - a;
    float vv = dot(v, v);
    float vs = dot(v, s);
    float ss = dot(s, s);
    if (vs < 0)
        return vv;
    if (vs > ss)
        return vv - 2 * vs + ss;
    return vv - vs * vs / ss;
}

// First index in [0, n) for which `before` is false; `before` must hold on a
// prefix of the indices.
template <class Predicate>
int partitionPoint(int n, Predicate before)
{
    int lo = 0;
    int hi = n;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (before(mid))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// One axis of a fixed world lattice: the points origin + i*d below limit.
// The points grow with i, so the ones inside an interval are found by
// bisection instead of by walking the whole axis. The axis itself is not
// capped, so a wide world has lattice points everywhere; what one edit visits
// is (see within).
struct LatticeAxis {
    LatticeAxis(float origin_, float spacing_, float limit) : origin(origin_), spacing(spacing_)
    {
        if (isUsableSpacing(spacing))
            count = partitionPoint(std::numeric_limits<int>::max(), [&](int i) { return at(i) < limit; });
    }

    float at(int i) const { return origin + float(i) * spacing; }

    // Indices [first, end) of the points within [lo, hi], at most
    // kMaxLatticeSide of them from the first.
    struct Range {
        int first;
        int end;
    };
    Range within(float lo, float hi) const
    {
        const int first = partitionPoint(count, [&](int i) { return at(i) < lo; });
        const int end = partitionPoint(count, [&](int i) { return at(i) <= hi; });
        return {first, std::min(end, first + std::min(kMaxLatticeSide, count - first))};
    }

    float origin;
    float spacing;
    int count = 0;
};

// The lattice of the brush and the image fill: it reaches two units past the
// bounds, so strokes made at different times line up.
struct BrushLattice {
    explicit BrushLattice(const ParticleData& d)
        : x(d.boundsLeft - 2, d.standardDistance, d.boundsRight + 2),
          y(d.boundsBottom - 2, d.standardDistance, d.boundsTop + 2)
    {
    }
    LatticeAxis x;
    LatticeAxis y;
};

// The flood grid's cell of a world coordinate: the nearest cell, halves
// rounding up. Coordinates far outside the grid give -2, which is outside too.
int floodCell(float v, float origin, float spacing)
{
    float c = std::floor(2 * (v - origin) / spacing + 1) * 0.5f;
    if (!(c > -1e9f && c < 1e9f))
        return -2;
    return int(c);
}

// Cells [first, last] of the flood grid within one spacing of v, clipped to
// 0..size-1; false when none is.
bool floodSpan(float v, float origin, float spacing, int size, int& first, int& last)
{
    float lo = std::floor((v - spacing - origin) / spacing);
    float hi = std::ceil((v + spacing - origin) / spacing);
    if (!(lo <= hi) || !(hi >= 0) || !(lo <= float(size - 1)))
        return false;
    first = lo < 0 ? 0 : int(lo);
    last = hi > float(size - 1) ? size - 1 : int(hi);
    return first <= last;
}

// Number of flood cells along one axis: the whole spacings that fit.
int floodSide(float extent, float spacing)
{
    float n = extent / spacing;
    if (!(n >= 1))
        return 0;
    return n >= float(kMaxLatticeSide) ? kMaxLatticeSide : int(n);
}

} // namespace

ParticleBuilder::ParticleBuilder(const Pointer<ParticleData>& data_) : data(data_) {}

void ParticleBuilder::setMaterial(int m)
{
    material_ = m;
    info_ = ParticleData::materialInfo(m);
    if (materialColorFlag_)
        color_ = ParticleData::materialColor(m);
}

void ParticleBuilder::setInfo(const ParticleInfo& i)
{
    info_ = withNovelRecomputed(i);
    material_ = 0;
}

void ParticleBuilder::setColor(const Color& c)
{
    color_ = c;
    if (materialColorFlag_)
        material_ = 0;
}

bool ParticleBuilder::isTextured(int bodyIndex) const
{
    const ParticleData& d = *data;
    return bodyIndex >= 0 && size_t(bodyIndex) < d.bodies.size() && d.bodies[size_t(bodyIndex)].texture;
}

void ParticleBuilder::setUpBody()
{
    ParticleData& d = *data;
    currentBody = 0;
    if (hasAny(info_, rigid)) {
        currentBody = d.createBody();
        // No free body: the stroke joins the default body, which takes its
        // current shape as its rest shape.
        if (currentBody == 0)
            d.uniteBody(0, 0);
    }
}

void ParticleBuilder::joinRigid(int particle)
{
    ParticleData& d = *data;
    if (hasAny(d.info[particle], rigid) && hasAny(info_, rigid) && d.body[particle] != currentBody)
        currentBody = d.uniteBody(currentBody, d.body[particle]);
}

// A clear, a load or an undo may have shrunk the body table under the body
// of the last stroke; new particles must not join a body that is gone.
void ParticleBuilder::forgetVanishedBody()
{
    if (currentBody < 0 || size_t(currentBody) >= data->bodies.size())
        currentBody = 0;
}

int ParticleBuilder::createAt(const float2& position)
{
    ParticleData& d = *data;
    int p = d.createParticle(currentBody);
    d.info[p] = info_;
    d.layer[p] = uint8_t(layer_);
    d.color[p] = color_;
    d.position[p] = position;
    d.anchor[p] = position;
    return p;
}

void ParticleBuilder::prepareForDrawing(const float2&, float)
{
    setUpBody();
}

float2 ParticleBuilder::drawLine(const float2& a, const float2& b)
{
    ParticleData& d = *data;
    forgetVanishedBody();
    float spacing = d.standardDistance;
    float2 s = b - a;
    float len = length(s);
    float2 dir = len == 0 ? float2(0, 0) : s / len;
    float2 p = a;
    if (!(len > spacing) || !std::isfinite(len) || !isUsableSpacing(spacing))
        return a;

    float d2 = spacing * spacing;
    float replaced = d2 / 4;
    float t = spacing;
    int placed = 0;
    do {
        for (int q = 0; q < d.count; ++q) {
            float2 r = d.position[q] - p;
            float r2 = dot(r, r);
            if (r2 < d2)
                joinRigid(q);
            if (r2 < replaced)
                d.info[q] |= zombie;
        }
        createAt(p);
        p = p + dir * spacing;
        // A spacing below the resolution of t would never reach len.
        float next = t + spacing;
        if (!(next > t) || ++placed >= kMaxLineParticles)
            break;
        t = next;
    } while (len > t);
    return p;
}

float2 ParticleBuilder::drawLine(const float2& a, const float2& b, float width)
{
    ParticleData& d = *data;
    forgetVanishedBody();
    if (!isUsableSpacing(d.standardDistance))
        return b;
    float w2 = width * width;
    for (int p = 0; p < d.count; ++p) {
        if (segmentDistance(d.position[p], a, b) < w2) {
            joinRigid(p);
            d.info[p] |= zombie;
        }
    }

    // Only the lattice points the segment can reach are tested. The margin
    // covers the rounding of segmentDistance, which grows with the length of
    // the segment, so the points found are exactly those of a full scan.
    BrushLattice lattice(d);
    float span = std::fabs(width);
    float reach = span + d.standardDistance + 0.003f * (distance(a, b) + span);
    auto xs = lattice.x.within(std::min(a.x, b.x) - reach, std::max(a.x, b.x) + reach);
    auto ys = lattice.y.within(std::min(a.y, b.y) - reach, std::max(a.y, b.y) + reach);
    int created = 0;
    for (int i = xs.first; i < xs.end && created < kMaxFillParticles; ++i) {
        for (int j = ys.first; j < ys.end && created < kMaxFillParticles; ++j) {
            float2 point(lattice.x.at(i), lattice.y.at(j));
            if (segmentDistance(point, a, b) < w2) {
                createAt(point);
                ++created;
            }
        }
    }
    d.gc();
    return b;
}

float2 ParticleBuilder::patchLine(const float2& a, const float2& b, float width)
{
    ParticleData& d = *data;
    forgetVanishedBody();
    if (hasAny(info_, kPinned))
        updateOriginOfTexturedBody();
    float w2 = width * width;
    for (int p = 0; p < d.count; ++p) {
        if (!(segmentDistance(d.position[p], a, b) < w2))
            continue;
        // A textured body keeps its picture and its shape.
        if (isTextured(d.body[p])) {
            d.info[p] = info_;
            d.layer[p] = uint8_t(layer_);
            continue;
        }
        if (d.body[p] != currentBody) {
            if (hasAny(d.info[p], rigid) && hasAny(info_, rigid))
                joinRigid(p);
            else
                d.bindParticleToBody(p, currentBody);
        }
        d.info[p] = info_;
        d.layer[p] = uint8_t(layer_);
        d.color[p] = color_;
        d.anchor[p] = d.position[p];
    }
    d.gc();
    return b;
}

float2 ParticleBuilder::eraseLine(const float2& a, const float2& b, float width)
{
    ParticleData& d = *data;
    float w2 = width * width;
    for (int p = 0; p < d.count; ++p)
        if (segmentDistance(d.position[p], a, b) < w2)
            d.info[p] |= zombie;
    d.gc();
    return b;
}

float2 ParticleBuilder::sliceLine(const float2& a, const float2& b)
{
    ParticleData& d = *data;
    float2 s = b - a;
    float ss = dot(s, s);
    bool seen = false;
    int lastBody = 0;
    for (int p = 0; p < d.count; ++p) {
        if (!hasAny(d.info[p], rigid) || !(segmentDistance(d.position[p], a, b) < 1.0f))
            continue;
        // Push the particle out to distance 1 from the cut, on its own side.
        float2 foot = a + (dot(d.position[p] - a, s) / ss) * s;
        float2 v = foot - d.position[p];
        float lv = length(v);
        float2 n = lv == 0 ? float2(0, 0) : v / lv;
        d.position[p] = d.position[p] - n * (1 - lv);
        lastBody = d.body[p];
        seen = true;
    }
    if (seen)
        d.splitBody(lastBody);

    // Joints crossed by the cut: solve pi + u*(pj - pi) = a + t*(b - a).
    for (auto it = d.joints.begin(); it != d.joints.end();) {
        if (!it->inRange(d.count)) {
            ++it;
            continue;
        }
        float2 pi = d.position[it->a];
        float2 e = d.position[it->b] - pi;
        float2 r = a - pi;
        float det = e.x * -s.y + s.x * e.y;
        float u = (-s.y * r.x + s.x * r.y) / det;
        float t = (-e.y * r.x + e.x * r.y) / det;
        if (u >= 0 && u < 1 && t >= 0 && t < 1)
            it = d.joints.erase(it);
        else
            ++it;
    }
    return b;
}

void ParticleBuilder::fillRect(const float2& a, const float2& b)
{
    fillShape(a, b, false);
}

void ParticleBuilder::fillOval(const float2& a, const float2& b)
{
    fillShape(a, b, true);
}

// The rectangle a-b clipped to the bounds, or the ellipse inscribed in the
// unclipped rectangle, filled on a lattice that starts at the clipped corner.
void ParticleBuilder::fillShape(const float2& a, const float2& b, bool oval)
{
    ParticleData& d = *data;
    float spacing = d.standardDistance;
    if (!isUsableSpacing(spacing))
        return;
    setUpBody();

    float2 lo(std::max(std::min(a.x, b.x), d.boundsLeft), std::max(std::min(a.y, b.y), d.boundsBottom));
    float2 hi(std::min(std::max(a.x, b.x), d.boundsRight), std::min(std::max(a.y, b.y), d.boundsTop));
    float2 center = (a + b) * 0.5f;
    float2 radius(std::fabs(b.x - a.x) * 0.5f, std::fabs(b.y - a.y) * 0.5f);
    auto inEllipse = [&](const float2& p) {
        float u = (p.x - center.x) / radius.x;
        float v = (p.y - center.y) / radius.y;
        return u * u + v * v < 1;
    };

    for (int p = 0; p < d.count; ++p) {
        const float2& q = d.position[p];
        bool inside = lo.x < q.x && q.x < hi.x && lo.y < q.y && q.y < hi.y;
        if (inside && (!oval || inEllipse(q))) {
            joinRigid(p);
            d.info[p] |= zombie;
        }
    }

    // Each axis stops at the far edge, at the lattice side limit, or where the
    // spacing no longer moves the coordinate.
    int rows = 0;
    int created = 0;
    for (float y = lo.y; y < hi.y && created < kMaxFillParticles;) {
        int columns = 0;
        for (float x = lo.x; x < hi.x && created < kMaxFillParticles;) {
            float2 point(x, y);
            if (!oval || inEllipse(point)) {
                createAt(point);
                ++created;
            }
            float next = x + spacing;
            if (!(next > x) || ++columns >= kMaxLatticeSide)
                break;
            x = next;
        }
        float next = y + spacing;
        if (!(next > y) || ++rows >= kMaxLatticeSide)
            break;
        y = next;
    }
    d.gc();
}

void ParticleBuilder::floodParticles(const float2& point)
{
    ParticleData& d = *data;
    float spacing = d.standardDistance;
    if (!isUsableSpacing(spacing))
        return;
    setUpBody();

    float left = d.boundsLeft;
    float bottom = d.boundsBottom;
    int w = floodSide(d.boundsRight - left, spacing);
    int h = floodSide(d.boundsTop - bottom, spacing);
    if (w > 0 && int64_t(w) * h > kMaxFloodCells)
        h = kMaxFloodCells / w;
    auto inGrid = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h; };
    auto cellOf = [&](const float2& p) {
        return int2(floodCell(p.x, left, spacing), floodCell(p.y, bottom, spacing));
    };
    std::vector<uint8_t> grid;
    auto at = [&](int x, int y) -> uint8_t& { return grid[size_t(x) + size_t(w) * size_t(y)]; };
    std::vector<int2> stack;
    auto pushNeighbors = [&](int2 c) {
        stack.push_back({c.x - 1, c.y});
        stack.push_back({c.x + 1, c.y});
        stack.push_back({c.x, c.y - 1});
        stack.push_back({c.x, c.y + 1});
    };
    int2 start = cellOf(point);
    stack.push_back(start);

    int n = nearestParticle(point, spacing);
    if (n < 0) {
        // Empty space: free cells are those no particle occupies.
        grid.assign(size_t(w) * size_t(h), 1);
        for (int p = 0; p < d.count; ++p) {
            int2 c = cellOf(d.position[p]);
            if (inGrid(c.x, c.y))
                at(c.x, c.y) = 0;
        }
        // Close one-cell gaps: a free cell needs a free neighbour on each of the
        // four axes through it, so the fill cannot slip through a wall's gap.
        for (int x = 1; x < w - 1; ++x) {
            for (int y = 1; y < h - 1; ++y) {
                at(x, y) = at(x, y) && (at(x - 1, y) || at(x + 1, y)) && (at(x, y - 1) || at(x, y + 1)) &&
                           (at(x - 1, y - 1) || at(x + 1, y + 1)) && (at(x - 1, y + 1) || at(x + 1, y - 1));
            }
        }
        while (!stack.empty()) {
            int2 c = stack.back();
            stack.pop_back();
            if (c.x < 1 || c.y < 1 || c.x >= w - 1 || c.y >= h - 1 || !at(c.x, c.y))
                continue;
            createAt(float2(left + float(c.x) * spacing, bottom + float(c.y) * spacing));
            pushNeighbors(c);
            at(c.x, c.y) = 0;
        }
    } else if (!isTextured(d.body[n])) {
        // A plain particle: the same-coloured group connected to it.
        Color c = d.color[n];
        grid.assign(size_t(w) * size_t(h), 0);
        for (int p = 0; p < d.count; ++p) {
            if (!(d.color[p] == c))
                continue;
            int x0, x1, y0, y1;
            if (!floodSpan(d.position[p].x, left, spacing, w, x0, x1) ||
                !floodSpan(d.position[p].y, bottom, spacing, h, y0, y1))
                continue;
            for (int x = x0; x <= x1; ++x)
                for (int y = y0; y <= y1; ++y)
                    at(x, y) = 1;
        }
        while (!stack.empty()) {
            int2 cell = stack.back();
            stack.pop_back();
            if (!inGrid(cell.x, cell.y) || !at(cell.x, cell.y))
                continue;
            pushNeighbors(cell);
            at(cell.x, cell.y) = 0;
        }
        for (int p = 0; p < d.count; ++p) {
            if (!(d.color[p] == c))
                continue;
            int2 cell = cellOf(d.position[p]);
            if (!inGrid(cell.x, cell.y) || at(cell.x, cell.y))
                continue;
            d.bindParticleToBody(p, currentBody);
            d.info[p] = info_;
            d.layer[p] = uint8_t(layer_);
            d.color[p] = color_;
            d.anchor[p] = d.position[p];
        }
    } else {
        // A textured body: the whole body takes the attributes, keeps its picture.
        int textured = d.body[n];
        if (hasAny(info_, kPinned))
            updateOriginOfTexturedBody();
        for (int p = 0; p < d.count; ++p) {
            if (d.body[p] == textured) {
                d.info[p] = info_;
                d.layer[p] = uint8_t(layer_);
            }
        }
        for (auto it = d.joints.begin(); it != d.joints.end();) {
            bool touches = (it->a >= 0 && it->a < d.count && d.body[it->a] == textured) ||
                           (it->b >= 0 && it->b < d.count && d.body[it->b] == textured);
            it = touches ? d.joints.erase(it) : std::next(it);
        }
    }
    d.gc();
}

void ParticleBuilder::dragParticles(const float2& center, float radius, const float2& velocity, float weight)
{
    ParticleData& d = *data;
    size_t bodyCount = d.bodies.size();
    for (ParticleBody& body : d.bodies)
        body.used = 0;
    float r2 = radius * radius;
    for (int p = 0; p < d.count; ++p) {
        float2 v = d.position[p] - center;
        if (!(dot(v, v) < r2))
            continue;
        d.velocity[p] = weight * velocity + (1 - weight) * d.velocity[p];
        if (hasAny(d.info[p], wall) && d.body[p] < bodyCount)
            d.bodies[d.body[p]].used = 1;
    }
    for (ParticleBody& body : d.bodies) {
        if (!body.used)
            continue;
        if (body.texture) {
            body.textureMin += velocity;
            body.textureMax += velocity;
        } else {
            body.used = 0;
        }
    }
    for (int p = 0; p < d.count; ++p)
        if (d.body[p] < bodyCount && d.bodies[d.body[p]].used)
            d.anchor[p] += velocity;
}

void ParticleBuilder::dragAllParticles(const float2& delta)
{
    ParticleData& d = *data;
    size_t bodyCount = d.bodies.size();
    for (ParticleBody& body : d.bodies)
        body.used = 0;
    for (int p = 0; p < d.count; ++p) {
        d.position[p] += delta;
        if (hasAny(d.info[p], kPinned) && d.body[p] < bodyCount)
            d.bodies[d.body[p]].used = 1;
    }
    for (ParticleBody& body : d.bodies) {
        if (body.used && body.texture) {
            body.textureMin += delta;
            body.textureMax += delta;
        }
    }
    // Pinned particles, walls of the default body included, move with the scene.
    for (int p = 0; p < d.count; ++p)
        if (d.body[p] < bodyCount && d.bodies[d.body[p]].used)
            d.anchor[p] += delta;
}

void ParticleBuilder::updateOriginOfTexturedBody()
{
    ParticleData& d = *data;
    size_t bodyCount = d.bodies.size();
    bool any = false;
    for (ParticleBody& body : d.bodies) {
        body.used = body.texture ? 1 : 0;
        any = any || body.used;
    }
    if (!any)
        return;
    // Pinned bodies keep their rest shape where it is.
    for (int p = 0; p < d.count; ++p)
        if (hasAny(d.info[p], kPinned) && d.body[p] < bodyCount)
            d.bodies[d.body[p]].used = 0;

    auto marked = [&](int p) { return d.body[p] < bodyCount && d.bodies[d.body[p]].used; };
    for (ParticleBody& body : d.bodies) {
        if (body.used) {
            body.count = 0;
            body.center = float2(0, 0);
            body.anchorCenter = float2(0, 0);
        }
    }
    for (int p = 0; p < d.count; ++p) {
        if (!marked(p))
            continue;
        ParticleBody& body = d.bodies[d.body[p]];
        body.count += 1;
        body.center += d.position[p];
        body.anchorCenter += d.anchor[p];
    }
    std::array<float2, kMaxBodies> shift{};
    for (size_t i = 0; i < bodyCount && i < shift.size(); ++i) {
        ParticleBody& body = d.bodies[i];
        if (!body.used || body.count <= 0)
            continue;
        body.center /= float(body.count);
        body.anchorCenter /= float(body.count);
        shift[i] = body.center - body.anchorCenter;
        body.textureMin += shift[i];
        body.textureMax += shift[i];
    }
    for (int p = 0; p < d.count; ++p)
        if (marked(p))
            d.anchor[p] += shift[d.body[p]];
}

void ParticleBuilder::splitNearestBody(const float2& point, float radius)
{
    int n = nearestParticle(point, radius);
    if (n >= 0 && isTextured(data->body[n]))
        data->splitBody(data->body[n]);
}

void ParticleBuilder::sampleMaterial(const float2& point, float radius)
{
    const ParticleData& d = *data;
    int n = nearestParticle(point, radius);
    if (n >= 0) {
        info_ = withNovelRecomputed(d.info[n]);
        currentBody = d.body[n];
        color_ = d.color[n];
        layer_ = d.layer[n];
    }
    material_ = 0;
}

void ParticleBuilder::freezeParticles()
{
    ParticleData& d = *data;
    for (int p = 0; p < d.count; ++p) {
        d.velocity[p] = float2(0, 0);
        d.angularVelocity[p] = 0;
    }
}

void ParticleBuilder::fillTexture(const Pointer<Texture>& texture, const float2& center)
{
    ParticleData& d = *data;
    if (!texture || !isUsableSpacing(d.standardDistance))
        return;
    const Texture& image = *texture;
    float2 size(float(image.width) / d.scale, float(image.height) / d.scale);
    int bodyIndex = d.createBody();
    if (bodyIndex == 0)
        return;
    float2 lo = center - size / 2.0f;
    float2 hi = center + size / 2.0f;
    ParticleBody& body = d.bodies[size_t(bodyIndex)];
    body.texture = texture;
    body.textureMin = lo;
    body.textureMax = hi;

    // An image without a whole set of pixels, or one placed where its pixel
    // coordinates cannot be computed, has no opaque pixel anywhere.
    bool usable = image.width > 0 && image.height > 0 &&
                  image.pixels.size() >= size_t(image.width) * size_t(image.height) * 4 && isFinite(lo) &&
                  isFinite(hi);
    // Pixel (u, v) of a world point, truncated toward zero; row 0 is at lo.y.
    auto opaquePixel = [&](const float2& p) -> const uint8_t* {
        float u = (p.x - lo.x) / (hi.x - lo.x) * float(image.width);
        float v = (p.y - lo.y) / (hi.y - lo.y) * float(image.height);
        if (!(u > -1 && u < float(image.width) && v > -1 && v < float(image.height)))
            return nullptr;
        const uint8_t* pixel = &image.pixels[image.offset(int(u), int(v))];
        return pixel[3] >= 128 ? pixel : nullptr;
    };

    if (usable) {
        for (int p = 0; p < d.count; ++p)
            if (opaquePixel(d.position[p]))
                d.info[p] |= zombie;

        // Only the lattice over the image (and a pixel around it, which
        // truncation toward zero still maps onto the edge pixels) can be opaque.
        BrushLattice lattice(d);
        float marginX = 2 * std::fabs(hi.x - lo.x) / float(image.width) + d.standardDistance;
        float marginY = 2 * std::fabs(hi.y - lo.y) / float(image.height) + d.standardDistance;
        auto xs = lattice.x.within(std::min(lo.x, hi.x) - marginX, std::max(lo.x, hi.x) + marginX);
        auto ys = lattice.y.within(std::min(lo.y, hi.y) - marginY, std::max(lo.y, hi.y) + marginY);
        int created = 0;
        for (int j = ys.first; j < ys.end && created < kMaxFillParticles; ++j) {
            for (int i = xs.first; i < xs.end && created < kMaxFillParticles; ++i) {
                float2 point(lattice.x.at(i), lattice.y.at(j));
                const uint8_t* pixel = opaquePixel(point);
                if (!pixel)
                    continue;
                ++created;
                int q = d.createParticle(bodyIndex);
                d.info[q] = info_;
                d.layer[q] = uint8_t(layer_);
                d.color[q] = Color{pixel[0], pixel[1], pixel[2], pixel[3]};
                d.position[q] = point;
                d.anchor[q] = point;
            }
        }
    }
    d.gc();
}

int ParticleBuilder::nearestParticle(const float2& point, float radius) const
{
    const ParticleData& d = *data;
    int nearest = -1;
    float best = radius * radius;
    for (int p = 0; p < d.count; ++p) {
        float2 v = d.position[p] - point;
        float r2 = dot(v, v);
        if (r2 < best) {
            best = r2;
            nearest = p;
        }
    }
    return nearest;
}

int ParticleBuilder::countParticles(ParticleInfo mask) const
{
    const ParticleData& d = *data;
    int n = 0;
    for (int p = 0; p < d.count; ++p)
        if (hasAny(d.info[p], mask))
            ++n;
    return n;
}

} // namespace Zeb::Kamblo
