#include "render/mesh/draw_groups.h"

#include <algorithm>
#include <cmath>

#include "engine/resources/material.h"
#include "engine/resources/mesh.h"
#include "engine/resources/texture.h"
#include "render/render_target.h"

namespace {

SWmaterialbuilds OwnBuilds()
{
    SWmaterialbuilds builds;
    builds.buildTexture = [](SWmaterial& material) { material.BuildTexture(); };
    builds.buildDot3NormalMap = [](SWmaterial& material) { material.BuildDot3NormalMap(); };
    builds.buildDot3DiffuseMap = [](SWmaterial& material) { material.BuildDot3DiffuseMap(); };
    return builds;
}

SWmaterialbuilds g_builds = OwnBuilds();

constexpr uint32_t kNone = 0xFFFFFFFFu;

// One (vertex, coordinate) pair of a group under construction, chained per vertex.
struct PairNode {
    uint32_t coordinate;
    uint32_t next; // kNone ends the chain
    uint32_t output;
};

uint8_t BilinearOf(const SWmaterial& material)
{
    return (material.GetMaterialFlags() & SWmaterial::kFlagBilinear) != 0 ? kStageBilinear : 0;
}

} // namespace

void SetMaterialBuilds(const SWmaterialbuilds& builds)
{
    g_builds = builds;
}

void RestoreMaterialBuilds()
{
    g_builds = OwnBuilds();
}

const SWmaterialbuilds& GetMaterialBuilds()
{
    return g_builds;
}

SWmeshview SWmeshview::Of(const SWmesh& mesh)
{
    SWmeshview view;
    const uint32_t positions = mesh.GetVertexCount();
    const uint32_t keys = mesh.GetCornerKeyCount();
    view.heldPositions = mesh.SharedVertices();
    view.heldNormals = mesh.SharedNormals();
    view.heldTextureVertices = mesh.SharedTextureVertices();
    if (mesh.GetVertices() != nullptr)
        view.positions = {mesh.GetVertices(), size_t{positions} * 3};
    if (mesh.GetNormals() != nullptr)
        view.normals = {mesh.GetNormals(), std::min(size_t{keys} * 3, view.heldNormals->size())};
    if (mesh.GetTextureVertices() != nullptr)
        view.textureVertices = {mesh.GetTextureVertices(), size_t{mesh.GetTextureVertexCount()} * 2};
    view.cornerPositions = mesh.GetCornerPositions();
    view.cornerKeys = mesh.GetCornerKeys();
    view.cornerTextures = mesh.GetCornerTextures();
    view.faceKindIndices = mesh.GetFaceKindIndices();
    view.polygonCount = mesh.GetPolygonCount();
    view.faceKinds = mesh.GetFaceKinds();
    view.cornerKeyCount = keys;
    view.stamp = mesh.GetGeometryStamp();
    return view;
}

bool IsDot3InForce(bool hasTextureVertices, const SWmaterial& material, const SWrendertarget* target)
{
    return hasTextureVertices && (material.GetLayerMask() & SWmaterial::kLayerBump) != 0 &&
           material.GetBumpTexture() != nullptr && target != nullptr && target->TakesDot3();
}

uint8_t AlphaOfTransparency(float transparency)
{
    // Scene files carry any float here; outside [0, 1] the scaled value would not fit the byte.
    float clamped = transparency;
    if (!(clamped >= 0.0f))
        clamped = 0.0f;
    else if (clamped > 1.0f)
        clamped = 1.0f;
    return static_cast<uint8_t>(clamped * 255.0f);
}

SWvertexlayout LayoutOf(const SWtexturestages& stages)
{
    SWvertexlayout layout;
    const int count = std::min<int>(stages.layerCount, kTextureStageCount);
    for (int stage = 0; stage < count; ++stage) {
        const int set = stages.coordinateSets[stage];
        if (set < 0)
            continue;
        const int word = 6 + 2 * set;
        if (word + 2 > stages.vertexStride)
            continue;
        switch (stages.layerFlags[stage]) {
        case kStageLighting:
            layout.highlightWord = word;
            break;
        case kStageTexture:
        case kStageTexture | kStageBilinear:
            layout.textureWord = word;
            break;
        case kStageReflection:
        case kStageReflection | kStageBilinear:
            layout.reflectionWord = word;
            break;
        default:
            break;
        }
    }
    return layout;
}

void SWdrawgroup::ReleaseGeometry()
{
    releasedVertexCount = VertexCount();
    releasedTriangleCount = TriangleCount();
    std::vector<float>().swap(vertices);
    std::vector<SWgrouptriangle>().swap(triangles);
}

std::span<const float> SWmeshrenderer::GroupVertices(const SWdrawgroup& group, std::vector<float>& /*scratch*/) const
{
    return group.vertices;
}

void SWmeshrenderer::GroupCorners(const SWdrawgroup& group, std::vector<uint16_t>& corners) const
{
    corners.resize(group.triangles.size() * 3);
    for (size_t t = 0; t < group.triangles.size(); ++t)
        for (int c = 0; c < 3; ++c)
            corners[t * 3 + c] = group.triangles[t].corners[c];
}

SWmeshrenderer::~SWmeshrenderer()
{
    // Unlinked one by one so that a long list does not recurse through the destructors.
    while (m_groups != nullptr)
        m_groups = std::move(m_groups->next);
}

uint32_t SWmeshrenderer::GroupCount() const
{
    uint32_t count = 0;
    for (const SWdrawgroup* group = m_groups.get(); group != nullptr; group = group->next.get())
        ++count;
    return count;
}

bool SWmeshrenderer::BuildDrawGroups()
{
    if (m_mesh == nullptr)
        return false;
    return BuildDrawGroups(SWmeshview::Of(*m_mesh));
}

bool SWmeshrenderer::BuildDrawGroups(const SWmeshview& view)
{
    while (m_groups != nullptr)
        m_groups = std::move(m_groups->next);
    m_skippedPolygons = 0;
    m_stamp = view.stamp;

    const uint32_t positionCount = static_cast<uint32_t>(view.positions.size() / 3);
    const uint32_t textureCount = static_cast<uint32_t>(view.textureVertices.size() / 2);
    const bool hasTexture = textureCount > 0;
    const uint32_t keyCount = std::min(view.cornerKeyCount, static_cast<uint32_t>(view.normals.size() / 3));
    const bool oneKind = view.faceKindIndices.empty();
    const uint32_t polygonCount = oneKind ? view.polygonCount : static_cast<uint32_t>(view.faceKindIndices.size());
    const SWindexview positionOf = view.cornerPositions, keyOf = view.cornerKeys, textureOf = view.cornerTextures;
    const auto kindOf = [&view, oneKind](uint32_t p) { return oneKind ? 0u : view.faceKindIndices[p]; };
    const auto materialOf = [&view, &kindOf](uint32_t p) { return view.faceKinds[kindOf(p)].material; };

    // Polygons whose indices would reach outside these arrays are left out of every group, so the build and the
    // drawing index unchecked afterwards.
    std::vector<uint8_t> taken(polygonCount, 0);
    std::vector<uint32_t> keyPosition(keyCount, kNone);
    for (uint32_t p = 0; p < polygonCount; ++p) {
        const size_t at = size_t{p} * 3;
        bool good = kindOf(p) < view.faceKinds.size() && at + 3 <= positionOf.size() && at + 3 <= keyOf.size() &&
                    (textureOf.empty() || at + 3 <= textureOf.size());
        for (size_t c = at; c < at + 3 && good; ++c)
            good = positionOf[c] < positionCount && keyOf[c] < keyCount &&
                   (!hasTexture || textureOf.empty() || textureOf[c] < textureCount);
        if (!good) {
            taken[p] = 1;
            ++m_skippedPolygons;
            continue;
        }
        for (size_t c = at; c < at + 3; ++c)
            keyPosition[keyOf[c]] = positionOf[c];
    }

    std::vector<uint32_t> keyVertex(keyCount, kNone);
    std::vector<uint32_t> textureCoordinate(std::max(textureCount, 1u), kNone);
    std::vector<uint32_t> touchedKeys;
    std::vector<uint32_t> touchedTextures;
    std::vector<uint32_t> vertexKeys;       // group vertex -> corner key
    std::vector<uint32_t> coordinateSource; // group coordinate -> texture vertex
    std::vector<uint32_t> chainHead;        // group vertex -> first pair
    std::vector<PairNode> pairs;
    std::vector<uint32_t> members;     // polygons of the group, in order taken
    std::vector<uint32_t> cornerPairs; // three per member
    pairs.reserve(size_t{polygonCount} * 3);

    uint32_t firstUntaken = 0;
    for (;;) {
        while (firstUntaken < polygonCount && taken[firstUntaken] != 0)
            ++firstUntaken;
        if (firstUntaken >= polygonCount)
            break;
        SWmaterial* const material = materialOf(firstUntaken);

        for (const uint32_t key : touchedKeys)
            keyVertex[key] = kNone;
        for (const uint32_t t : touchedTextures)
            textureCoordinate[t] = kNone;
        touchedKeys.clear();
        touchedTextures.clear();
        vertexKeys.clear();
        coordinateSource.clear();
        chainHead.clear();
        pairs.clear();
        members.clear();
        cornerPairs.clear();
        uint32_t distinct = 0;

        for (uint32_t p = firstUntaken; p < polygonCount; ++p) {
            if (taken[p] != 0 || materialOf(p) != material)
                continue;
            taken[p] = 1;
            members.push_back(p);
            for (size_t c = size_t{p} * 3; c < size_t{p} * 3 + 3; ++c) {
                const uint32_t key = keyOf[c];
                if (keyVertex[key] == kNone) {
                    keyVertex[key] = static_cast<uint32_t>(vertexKeys.size());
                    touchedKeys.push_back(key);
                    vertexKeys.push_back(key);
                    chainHead.push_back(kNone);
                }
                const uint32_t t = hasTexture && !textureOf.empty() ? textureOf[c] : 0;
                if (textureCoordinate[t] == kNone) {
                    textureCoordinate[t] = static_cast<uint32_t>(coordinateSource.size());
                    touchedTextures.push_back(t);
                    coordinateSource.push_back(t);
                }
                const uint32_t vertex = keyVertex[key];
                const uint32_t coordinate = textureCoordinate[t];
                uint32_t* link = &chainHead[vertex];
                while (*link != kNone && pairs[*link].coordinate != coordinate)
                    link = &pairs[*link].next;
                if (*link == kNone) {
                    *link = static_cast<uint32_t>(pairs.size());
                    pairs.push_back({coordinate, kNone, 0});
                    ++distinct;
                }
                cornerPairs.push_back(*link);
            }
            if (vertexKeys.size() > kMostGroupCount || coordinateSource.size() > kMostGroupCount ||
                distinct > kMostGroupCount)
                break;
        }
        if (members.empty())
            break;

        auto group = std::make_unique<SWdrawgroup>();
        group->material = material;
        group->distinctCount = distinct;
        const auto vertexRecord = [&](uint32_t vertex, float* out) {
            const uint32_t key = vertexKeys[vertex];
            const float* position = &view.positions[size_t{keyPosition[key]} * 3];
            const float* normal = &view.normals[size_t{key} * 3];
            out[0] = position[0];
            out[1] = position[1];
            out[2] = position[2];
            out[3] = normal[0];
            out[4] = normal[1];
            out[5] = normal[2];
        };
        if (hasTexture) {
            // One output vertex per distinct pair, vertex by vertex in chain order.
            uint32_t output = 0;
            group->vertices.resize(size_t{distinct} * 6);
            group->coordinates.resize(size_t{distinct} * 2);
            for (uint32_t vertex = 0; vertex < vertexKeys.size(); ++vertex) {
                for (uint32_t n = chainHead[vertex]; n != kNone; n = pairs[n].next) {
                    pairs[n].output = output;
                    vertexRecord(vertex, &group->vertices[size_t{output} * 6]);
                    const float* uv = &view.textureVertices[size_t{coordinateSource[pairs[n].coordinate]} * 2];
                    group->coordinates[size_t{output} * 2] = uv[0];
                    group->coordinates[size_t{output} * 2 + 1] = uv[1];
                    ++output;
                }
            }
        } else {
            group->vertices.resize(vertexKeys.size() * 6);
            for (uint32_t vertex = 0; vertex < vertexKeys.size(); ++vertex)
                vertexRecord(vertex, &group->vertices[size_t{vertex} * 6]);
        }

        group->triangles.resize(members.size());
        for (size_t m = 0; m < members.size(); ++m) {
            const uint32_t p = members[m];
            const size_t at = size_t{p} * 3;
            SWgrouptriangle& triangle = group->triangles[m];
            const float* first = &view.positions[size_t{positionOf[at]} * 3];
            if (size_t{p} * 3 + 3 <= view.faceNormals.size()) {
                triangle.normal[0] = view.faceNormals[size_t{p} * 3];
                triangle.normal[1] = view.faceNormals[size_t{p} * 3 + 1];
                triangle.normal[2] = view.faceNormals[size_t{p} * 3 + 2];
            } else if (view.faceNormals.empty()) {
                SWmesh::FaceNormalOf(first, &view.positions[size_t{positionOf[at + 1]} * 3],
                                     &view.positions[size_t{positionOf[at + 2]} * 3], triangle.normal);
            }
            triangle.distance =
                triangle.normal[0] * first[0] + triangle.normal[1] * first[1] + triangle.normal[2] * first[2];
            for (int c = 0; c < 3; ++c) {
                const uint32_t pair = cornerPairs[m * 3 + c];
                const uint32_t index = hasTexture ? pairs[pair].output : keyVertex[keyOf[at + c]];
                triangle.corners[c] = static_cast<uint16_t>(index);
            }
        }

        group->next = std::move(m_groups);
        m_groups = std::move(group);
        SetupDrawGroup(*m_groups, view);
    }
    return UpdateFlatFlags();
}

void SWmeshrenderer::SetupDrawGroup(SWdrawgroup& group, const SWmeshview& view)
{
    group.stages = SWtexturestages();
    group.layout = {};
    group.dot3 = false;
    group.effectiveMode = 0;
    group.drawFlags = 0;
    if (group.material == nullptr)
        return;
    SWmaterial& material = *group.material;
    const bool hasTexture = !view.textureVertices.empty();
    const std::span<const float> coordinates = GroupCoordinates(group);
    const bool hasCoordinates = !coordinates.empty();
    group.coordinateWords = hasCoordinates && material.GetTexture() != nullptr ? 2 : 0;

    const bool dot3 = IsDot3InForce(hasTexture, material, m_target);
    if (dot3) {
        group.dot3 = true;
        if (group.frameStamp != view.stamp || group.frames.size() != size_t{group.TriangleCount()} * 3) {
            std::vector<float> scratch;
            std::vector<uint16_t> corners;
            const std::span<const float> vertices = GroupVertices(group, scratch);
            GroupCorners(group, corners);
            ComputeTangentFrames({vertices, coordinates, corners}, group.frames);
            group.frameStamp = view.stamp;
        }
    }

    if (!material.IsCurrent() && g_builds.buildTexture != nullptr)
        g_builds.buildTexture(material);

    const uint32_t mode = material.GetRenderMode();
    const uint32_t mask = material.GetLayerMask();
    const uint32_t flags = material.GetMaterialFlags();
    const uint8_t alpha = AlphaOfTransparency(material.GetTransparency());
    const int alphaKind = material.GetTextureAlphaKind();
    // The threshold is on the clamped value: NaN and negative transparencies are opaque.
    float transparency = material.GetTransparency();
    if (!(transparency >= 0.0f))
        transparency = 0.0f;

    uint32_t drawFlags = 0;
    if ((flags & 1) != 0)
        drawFlags |= kDrawMaterialFlag | kDrawMaterialFlagAgain;
    if ((mask & SWmaterial::kLayerReflection) != 0)
        drawFlags |= kDrawReflection;
    if (!dot3) {
        if (mode == SWmaterial::kModeFlat || mode == SWmaterial::kModeGouraud)
            drawFlags |= kDrawShaded;
        else if (mode == SWmaterial::kModePhong)
            drawFlags |= kDrawPhong;
        else if (mode == SWmaterial::kModeContinuous)
            drawFlags |= kDrawContinuous;
    }
    if (transparency > 1.0f / 256.0f || alphaKind != 0)
        drawFlags |= kDrawTransparent;
    // The mask sits in bits 8-15 and is widened from bit 15 as a signed 16-bit value would be.
    const uint32_t maskBits = (mask & 0xFFu) << kDrawLayerShift;
    drawFlags |= (maskBits & 0x8000u) != 0 ? (maskBits | 0xFFFF0000u) : maskBits;
    group.drawFlags = drawFlags;
    uint32_t vertexWords = (drawFlags & kDrawShaded) != 0 ? 6 : 4;
    if ((drawFlags & kDrawContinuous) != 0)
        vertexWords += 2;
    if ((drawFlags & kDrawPhong) != 0)
        vertexWords += 4;
    group.reflectionOffset = (drawFlags & kDrawReflection) != 0 ? group.coordinateWords + vertexWords : 0;

    uint32_t layers = mask;
    if (!hasTexture)
        layers &= ~(SWmaterial::kLayerDiffuse | SWmaterial::kLayerBump);
    const bool diffuse = (layers & SWmaterial::kLayerDiffuse) != 0;
    const bool reflection = (layers & SWmaterial::kLayerReflection) != 0;
    int stageCount = (diffuse ? 1 : 0) + (reflection ? 1 : 0);
    // A mode read from a file may be anything; only Dot3 itself selects the Dot3 stages.
    const bool plainMode = mode >= SWmaterial::kModeContinuous && mode <= SWmaterial::kModePhong;
    const uint32_t effectiveMode = dot3 ? 6 : plainMode ? mode : 0;
    group.effectiveMode = static_cast<uint8_t>(effectiveMode);

    SWtexturestages& stages = group.stages;
    stages.vertexAlpha = alpha;
    stages.flags = kFormatAlways;
    if (alpha == 0 && alphaKind == 0)
        stages.flags |= kFormatOpaque;
    if (alphaKind != 0)
        stages.flags |= kFormatTextureAlpha;
    stages.firstFloatWord = 6;
    stages.colourCount = 2;
    const uint8_t bilinear = BilinearOf(material);
    bool sharedSet = false;
    int s = 0;
    switch (effectiveMode) {
    case SWmaterial::kModeContinuous:
    case SWmaterial::kModeFlat:
    case SWmaterial::kModeGouraud:
        stages.combineMode = kCombinePlain;
        if (diffuse) {
            stages.images[0] = material.GetTexture();
            stages.layerFlags[0] = kStageTexture | bilinear;
            s = 1;
        }
        break;
    case SWmaterial::kModePhong:
        stages.combineMode = kCombinePhong;
        stages.images[0] = material.GetCompositedTexture();
        stages.layerFlags[0] = kStageLighting;
        stageCount += 1;
        s = 1;
        if (diffuse) {
            stages.images[1] = material.GetTexture();
            stages.layerFlags[1] = kStageTexture | bilinear;
            s = 2;
        }
        break;
    case 6: {
        stages.combineMode = kCombineDot3;
        if (g_builds.buildDot3NormalMap != nullptr && !material.IsDot3NormalMapCurrent())
            g_builds.buildDot3NormalMap(material);
        stages.images[0] = material.GetCompositedTexture();
        stages.layerFlags[0] = kStageLighting;
        stages.images[1] = material.GetDot3NormalMap();
        stages.layerFlags[1] = kStageTexture | bilinear;
        const std::array<uint32_t, 3>& colours = material.GetPackedColours();
        stages.constants[1] = colours[0];
        stages.constants[2] = colours[1];
        stages.constants[3] = colours[2];
        // The diffuse bit counted one stage already; the lighting and normal stages are the two added here.
        stageCount += 2;
        s = 2;
        if (diffuse) {
            const SWtexture* texture = material.GetTexture();
            // The map bakes the colours in as well as the texture: a colour changed builds it again.
            if (g_builds.buildDot3DiffuseMap != nullptr && texture != nullptr && !material.IsDot3DiffuseMapCurrent())
                g_builds.buildDot3DiffuseMap(material);
            stages.images[2] = material.GetDot3DiffuseMap();
            stages.layerFlags[2] = kStageTexture | bilinear;
            stages.coordinateSets[2] = 1;
            stages.coordinateSets[3] = 2;
            sharedSet = true;
            s = 3;
        }
        break;
    }
    default:
        stageCount = 0;
        break;
    }
    if (stages.combineMode != kCombineNone && reflection) {
        stages.constants[0] = material.GetReflectionParameter();
        stages.images[s] = material.GetReflectionTexture();
        stages.layerFlags[s] = kStageReflection | bilinear;
    }
    stages.layerCount = static_cast<uint8_t>(stageCount);
    stages.vertexStride = static_cast<uint8_t>(2 * (stageCount + 3) - (sharedSet ? 2 : 0));
    group.layout = LayoutOf(stages);
}

bool SWmeshrenderer::UpdateFlatFlags()
{
    if (m_mesh == nullptr || m_groups == nullptr || m_stamp != m_mesh->GetGeometryStamp())
        return false;
    bool changed = false;
    for (SWdrawgroup* group = m_groups.get(); group != nullptr; group = group->next.get()) {
        const uint8_t flat =
            group->material != nullptr && group->material->GetRenderMode() == SWmaterial::kModeFlat ? 1 : 0;
        if (group->flat != flat) {
            group->flat = flat;
            changed = true;
        }
    }
    return changed;
}
