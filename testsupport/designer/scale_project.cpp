#include "testsupport/designer/scale_project.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "designer/app/extended_world.h"
#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/camera_node.h"
#include "engine/core/data_node.h"
#include "engine/core/matrix.h"
#include "engine/core/mesh_node.h"
#include "engine/core/object_node.h"
#include "engine/core/root_object.h"
#include "engine/core/vector.h"
#include "engine/core/world.h"
#include "engine/resources/image24.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "testsupport/mesh/mesh_generators.h"
#include "testsupport/world/sample_world.h"

namespace designertest {

namespace {

// Where the k-th of count meshes stands: on a grid of 4:3 proportions facing the camera, which sees 38 x 29 units
// of the plane z = 0 from 40 units away, with a sphere's radius to spare at every edge.
SWvector MeshPlace(int k, int count)
{
    const int columns = static_cast<int>(std::ceil(std::sqrt(count * 4.0 / 3.0)));
    const int rows = (count + columns - 1) / columns;
    const float step = std::min(32.0f / static_cast<float>(columns), 24.0f / static_cast<float>(rows));
    return {(static_cast<float>(k % columns) - static_cast<float>(columns - 1) * 0.5f) * step,
            (static_cast<float>(k / columns) - static_cast<float>(rows - 1) * 0.5f) * step, 0.0f};
}

} // namespace

Counts CountsFor(double size)
{
    const auto scaled = [&](int n) { return std::max(1, static_cast<int>(std::lround(n * size))); };
    return {scaled(10080), scaled(1000), scaled(500), scaled(65)};
}

std::string NodeName(int i)
{
    return "node " + std::to_string(i);
}

// The scene: textures, one textured material and mesh per mesh node, nodes in groups of ten, a camera. The groups
// that hold a mesh stand on a grid in the camera's view, the others (nothing to draw) over a 30 x 30 square at
// z = 0.
void FillScene(const Counts& counts, SWworld& world)
{
    SWrootobject& root = *world.GetRootObject();
    std::vector<uint32_t> pixels(64 * 64);
    std::vector<SWtexture*> textures;
    for (int t = 0; t < counts.textures; ++t) {
        // Gradients with a little noise, as photographs compress.
        for (uint32_t p = 0; p < pixels.size(); ++p) {
            const uint32_t x = p % 64, y = p / 64, noise = (p * 2654435761u + static_cast<uint32_t>(t)) >> 28;
            pixels[p] = ((x * 4 + static_cast<uint32_t>(t)) & 0xFF) << 16 | ((y * 4 + noise) & 0xFF) << 8 |
                        (((x ^ y) + noise) & 0xFF);
        }
        auto texture = std::make_unique<SWimage24>("texture " + std::to_string(t), 64, 64, pixels.data());
        textures.push_back(texture.get());
        root.AddTexture(std::move(texture));
    }
    const meshtest::OffMesh sphere = meshtest::MakeSphere(64, 128); // about 16,000 triangles
    SWnode* group = nullptr;
    for (int i = 0; i < counts.nodes; ++i) {
        SWobjectnode* node = nullptr;
        const bool holdsMesh = i / 10 < counts.meshes;
        if (i % 10 == 1 && holdsMesh) {
            // The shade multiplies the texture, and a new material's colours are black: lit white, as the designer's
            // sample lights its textured cube, or every sphere is drawn black.
            auto material = std::make_unique<SWmaterial>("material " + std::to_string(i));
            material->SetAmbientColour(0.35f, 1.0f, 1.0f, 1.0f);
            material->SetDiffuseColour(0.75f, 1.0f, 1.0f, 1.0f);
            material->SetTexture(textures[static_cast<size_t>(i) % textures.size()]);
            SWmaterial* placed = material.get();
            root.AddMaterial(std::move(material));
            auto* meshNode = new SWmeshnode;
            meshNode->SetGeometry(
                root.AddGeometry(worldtest::MeshOf(sphere, "mesh " + std::to_string(i), {placed}, false)));
            node = meshNode;
        } else {
            node = new SWobjectnode;
        }
        node->SetName(NodeName(i));
        SWvector place{0.0f, 0.0f, 0.0f};
        if (i % 10 == 0 && holdsMesh)
            place = MeshPlace(i / 10, counts.meshes);
        else if (i % 10 == 0)
            place = {static_cast<float>(i % 100) * 0.3f - 15.0f, static_cast<float>(i / 100 % 100) * 0.3f - 15.0f,
                     0.0f};
        node->SetInitialMatrix(SWmatrix::Translation(place.x, place.y, place.z));
        world.AddNode(node, i % 10 == 0 ? nullptr : group);
        if (i % 10 == 0)
            group = node;
    }
    // Looking along +z at the grid; the depth, 10 to 70 units from the eye, holds every sphere (40 +- 1 away).
    auto lens = std::make_unique<SWcameraobject>();
    lens->SetName("lens");
    lens->SetFieldOfView(0.9f);
    lens->SetDepthCentre(40.0f);
    lens->SetDepthRange(60.0f);
    SWgeometry* placedLens = root.AddGeometry(std::move(lens));
    auto* camera = new SWcameranode(static_cast<SWcameraobject*>(placedLens));
    camera->SetName("camera");
    camera->SetInitialMatrix(SWmatrix::Translation(0.0f, 0.0f, -40.0f));
    world.AddNode(camera, nullptr);
    camera->SetGeometry(placedLens);
    world.AddCamera(camera);
}

// Timer events of a one-second period, each turning one named node and hiding or showing another.
void AddEvents(CVTND_ExtendedWorld& world, const Counts& counts)
{
    SWactionkind* turn = world.GetActionCategories().FindKind(41);
    SWactionkind* visibility = world.GetActionCategories().FindKind(21);
    for (int e = 0; e < counts.events; ++e) {
        SWevent* event = world.AddEventOfType(4);
        event->SetName("timer " + std::to_string(e));
        event->SetTimerInterval(1000.0f);
        SWactionnode* rotate = event->CreateAction(turn);
        rotate->AddArgument(NodeName((e * 7) % counts.nodes).c_str(), SWdatanode::kString, true);
        if (auto* motion = dynamic_cast<SWxyzmotion*>(rotate->GetMotion())) {
            motion->SetGenerator(std::make_unique<SWaxistrack>(&world, 1.0f), 2);
            motion->SetDuration(500.0f);
        }
        SWactionnode* show = event->CreateAction(visibility);
        show->AddArgument(NodeName((e * 7 + 3) % counts.nodes).c_str(), SWdatanode::kString, true);
    }
}

} // namespace designertest
