#include "designer/app/sample_project.h"

#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/generator.h"
#include "engine/behaviour/xyz_motion.h"
#include "engine/core/camera_node.h"
#include "engine/core/data_node.h"
#include "engine/core/mesh_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/array_block.h"
#include "engine/resources/background.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/picture.h"

namespace {

// A box of the given half sizes, each face mapped 0..1, faces counter-clockwise seen from outside.
SWmeshobject* AddBox(SWworld& world, const char* name, float hx, float hy, float hz, SWmaterial* material)
{
    std::vector<float> positions;
    std::vector<float> uv;
    std::vector<std::vector<uint32_t>> polygons;
    const float half[3] = {hx, hy, hz};
    const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    for (int f = 0; f < 6; ++f) {
        const int n = f / 2;
        const float s = f % 2 == 0 ? 1.0f : -1.0f;
        const int u = (n + 1) % 3;
        const int v = (n + 2) % 3;
        const auto base = static_cast<uint32_t>(positions.size() / 3);
        for (const auto& corner : corners) {
            float p[3];
            p[n] = s * half[n];
            p[u] = corner[0] * half[u];
            p[v] = corner[1] * half[v] * s;
            positions.insert(positions.end(), {p[0], p[1], p[2]});
            uv.insert(uv.end(), {(corner[0] + 1.0f) * 0.5f, (corner[1] + 1.0f) * 0.5f});
        }
        polygons.push_back({base, base + 1, base + 2, base + 3});
    }
    auto* mesh = static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWmeshobject>()));
    mesh->SetName(name);
    mesh->SetFilling(true);
    mesh->SetVertices(std::move(positions));
    mesh->SetTextureVertices(std::move(uv));
    SWarrayblockChain chain;
    for (const std::vector<uint32_t>& polygon : polygons)
        chain.Add(std::make_unique<SWarrayblock>(std::span<const uint32_t>(polygon), true,
                                                 std::span<const uint32_t>(polygon), 0, material));
    mesh->BuildPolygonIndices(chain.Head());
    mesh->SetFilling(false);
    mesh->Prepare();
    return mesh;
}

SWmaterial* AddMaterial(SWrootobject& root, const char* name, SWtexture* texture, float r, float g, float b)
{
    auto material = std::make_unique<SWmaterial>(name);
    material->SetRenderMode(SWmaterial::kModeGouraud);
    material->SetAmbientColour(0.35f, r, g, b);
    material->SetDiffuseColour(0.75f, r, g, b);
    if (texture != nullptr) {
        material->SetTexture(texture);
        material->SetMaterialFlags(SWmaterial::kFlagBilinear);
    }
    SWmaterial* placed = material.get();
    root.AddMaterial(std::move(material));
    return placed;
}

SWmeshnode* AddMeshNode(SWworld& world, SWmeshobject* mesh, const char* name, const SWmatrix& place)
{
    auto* node = new SWmeshnode(mesh);
    node->SetName(std::string(name));
    node->SetInitialMatrix(place);
    world.AddNode(node, nullptr);
    return node;
}

} // namespace

void BuildSampleWorld(SWworld& world)
{
    SWrootobject& root = *world.GetRootObject();

    auto checker = std::make_unique<SWpicture>("checker", 128, 128, BackgroundGenerator::kChecker);
    BackgroundGenerator& generator = checker->GetGenerator();
    generator.colourA = {0.95f, 0.8f, 0.3f};
    generator.colourB = {0.2f, 0.45f, 0.85f};
    generator.parameters = {0.25f, 0.25f, 0.0f};
    checker->Render();
    SWpicture* texture = checker.get();
    root.AddTexture(std::move(checker));

    SWmaterial* cubeMaterial = AddMaterial(root, "cube", texture, 1.0f, 1.0f, 1.0f);
    SWmaterial* floorMaterial = AddMaterial(root, "floor", nullptr, 0.45f, 0.55f, 0.45f);
    AddMeshNode(world, AddBox(world, "cube", 1.0f, 1.0f, 1.0f, cubeMaterial), "cube",
                SWmatrix::Translation(0.0f, 0.0f, 0.0f));
    AddMeshNode(world, AddBox(world, "floor", 4.0f, 0.1f, 4.0f, floorMaterial), "floor",
                SWmatrix::Translation(0.0f, -1.6f, 0.0f));

    auto lens = std::make_unique<SWcameraobject>();
    lens->SetName("camera-lens");
    lens->SetFieldOfView(0.7f);
    lens->SetDepthCentre(8.0f);
    lens->SetDepthRange(40.0f);
    SWcameraobject* placedLens = lens.get();
    root.AddGeometry(std::move(lens));
    auto* camera = new SWcameranode(placedLens);
    camera->SetName(std::string("camera"));
    camera->SetGeometry(placedLens);
    // Behind the cube and a little above it, looking down at it.
    SWmatrix place = SWmatrix::Translation(0.0f, 2.2f, -6.0f);
    place.PostMultiply(SWmatrix::Rotation(0.33f, 0));
    camera->SetInitialMatrix(place);
    world.AddNode(camera, nullptr);
    world.AddCamera(camera);
    world.UpdateNodeTransforms(world.GetRootNode(), 1);
    world.UpdateGeometryMatrices(world.GetRootNode());

    root.SetBackground(std::make_unique<SWbackground>(kSampleBackground));

    SWevent* start = world.AddEventOfType(static_cast<uint32_t>(EventType::kWorldStart));
    start->SetName(std::string("turn the cube"));
    if (SWactionnode* turn = start->CreateAction(world.GetActionCategories().FindKind(41))) {
        turn->AddArgument("cube", SWdatanode::kString, true);
        if (auto* motion = dynamic_cast<SWxyzmotion*>(turn->GetMotion())) {
            auto spin = std::make_unique<SWaxistrack>(&world, static_cast<float>(2.0 * std::numbers::pi));
            spin->SetDuration(6000.0f);
            auto tilt = std::make_unique<SWaxistrack>(&world, static_cast<float>(2.0 * std::numbers::pi));
            tilt->SetDuration(9000.0f);
            motion->SetGenerator(std::make_unique<SWaxistrack>(&world, 0.0f), 0);
            motion->SetGenerator(std::move(spin), 1);
            motion->SetGenerator(std::move(tilt), 2);
            motion->SetLoopForever(true);
        }
    }
    SWevent* clicked = world.AddEventOfType(static_cast<uint32_t>(EventType::kLeftClickObject));
    clicked->SetName(std::string("cube clicked"));
    clicked->AddObjectName(std::string("cube"));
    if (auto* background =
            dynamic_cast<SWbackgroundaction*>(clicked->CreateAction(world.GetActionCategories().FindKind(19)))) {
        background->settings.red = kSampleClickedColour[0];
        background->settings.green = kSampleClickedColour[1];
        background->settings.blue = kSampleClickedColour[2];
        background->settings.mode = 1;
    }
}
