#include "testsupport/render/reference_scene.h"

#include <cmath>
#include <numbers>

#include "engine/core/mesh_node.h"
#include "engine/core/root_object.h"
#include "engine/core/world.h"
#include "engine/resources/background.h"
#include "engine/resources/material.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/picture.h"
#include "render/render_camera.h"
#include "render/render_surface.h"
#include "testsupport/render/mesh_loading.h"

namespace rendertest {

namespace {

SWpicture* AddPicture(SWrootobject& root, const char* name, int32_t width, int32_t height, uint16_t type,
                      const BackgroundGenerator::Colour& a, const BackgroundGenerator::Colour& b,
                      const std::array<float, 3>& parameters)
{
    auto picture = std::make_unique<SWpicture>(name, width, height, type);
    BackgroundGenerator& generator = picture->GetGenerator();
    generator.colourA = a;
    generator.colourB = b;
    generator.parameters = parameters;
    picture->Render();
    SWpicture* const placed = picture.get();
    root.AddTexture(std::move(picture));
    return placed;
}

// The scenes' shared texture: a 256 x 256 checker of 32-pixel cells, tinted warm and cool.
SWpicture* AddChecker(SWrootobject& root)
{
    return AddPicture(root, "checker", 256, 256, BackgroundGenerator::kChecker, {0.95f, 0.85f, 0.55f},
                      {0.25f, 0.35f, 0.6f}, {0.125f, 0.125f, 0.0f});
}

SWmaterial* AddMaterial(SWrootobject& root, const char* name, uint32_t renderMode)
{
    auto material = std::make_unique<SWmaterial>(name);
    material->SetRenderMode(renderMode);
    SWmaterial* const placed = material.get();
    root.AddMaterial(std::move(material));
    return placed;
}

SWmeshobject* AddMesh(SWworld& world, const TexturedMesh& shape, SWmaterial* material, const SWmatrix& place)
{
    SWrootobject& root = *world.GetRootObject();
    auto* mesh = static_cast<SWmeshobject*>(root.AddGeometry(std::make_unique<SWmeshobject>()));
    LoadMesh(*mesh, shape, material);
    auto node = std::make_unique<SWmeshnode>(mesh);
    node->SetInitialMatrix(place);
    world.AddNode(node.release(), nullptr);
    return mesh;
}

} // namespace

ReferenceScene MakeReferenceScene()
{
    ReferenceScene scene;
    scene.world = std::make_unique<SWworld>();
    SWworld& world = *scene.world;
    SWrootobject& root = *world.GetRootObject();

    SWpicture* checker = AddChecker(root);
    SWpicture* radial = AddPicture(root, "environment", 128, 128, BackgroundGenerator::kRadial, {1.0f, 1.0f, 0.9f},
                                   {0.1f, 0.2f, 0.45f}, {0.5f, 0.5f, 0.0f});

    SWmaterial* ring = AddMaterial(root, "torus", SWmaterial::kModeGouraud);
    ring->SetAmbientColour(0.25f, 1.0f, 1.0f, 1.0f);
    ring->SetDiffuseColour(0.8f, 1.0f, 1.0f, 1.0f);
    ring->SetTexture(checker);
    ring->SetMaterialFlags(SWmaterial::kFlagBilinear);

    SWmaterial* ball = AddMaterial(root, "sphere", SWmaterial::kModePhong);
    ball->SetAmbientColour(0.15f, 0.9f, 0.3f, 0.2f);
    ball->SetDiffuseColour(0.7f, 0.9f, 0.3f, 0.2f);
    ball->SetSpecularColour(1.0f, 1.0f, 1.0f, 1.0f);
    ball->SetSmoothness(24.0f);
    ball->SetReflectionTexture(radial);
    ball->SetReflectivity(0.4f);
    ball->SetMaterialFlags(SWmaterial::kFlagBilinear);

    SWmaterial* glass = AddMaterial(root, "cube", SWmaterial::kModeFlat);
    glass->SetAmbientColour(0.3f, 0.3f, 0.9f, 0.4f);
    glass->SetDiffuseColour(0.7f, 0.3f, 0.9f, 0.4f);
    glass->SetTransparency(0.5f);

    scene.torus = AddMesh(world, MakeTorus(1.0f, 0.4f, 128, 80, 8.0f, 2.0f), ring, SWmatrix());
    scene.sphere = AddMesh(world, MakeUvSphere(0.5f, 48, 32), ball, SWmatrix());
    TexturedMesh box = MakeBox(0.8f);
    box.uv.clear(); // untextured
    scene.cube = AddMesh(world, box, glass, SWmatrix::Translation(2.0f, 0.0f, 0.3f));
    world.UpdateNodeTransforms(world.GetRootNode(), 1);
    world.UpdateGeometryMatrices(world.GetRootNode());

    auto sky = std::make_unique<SWpicture>("sky", 256, 128, BackgroundGenerator::kLinear);
    BackgroundGenerator& generator = sky->GetGenerator();
    generator.colourA = {0.55f, 0.75f, 0.95f};
    generator.colourB = {0.95f, 0.95f, 0.85f};
    generator.parameters = {-1.5707964f, 0.0f, 0.0f}; // downwards: blue at the top, pale at the horizon
    sky->Render();
    root.SetBackground(std::make_unique<SWbackground>(std::move(sky), SWbackground::kModeStretch));
    return scene;
}

void PlaceReferenceCamera(SWrendercamera& camera, uint32_t frame, float eyeShift)
{
    const double angle = (30.0 + 3.0 * frame) * std::numbers::pi / 180.0;
    // The direction is the camera's backward axis: from the origin towards the eye.
    const double x = 4.0 * std::cos(angle);
    const double z = 4.0 * std::sin(angle);
    const double y = 1.2;
    const double length = std::sqrt(x * x + y * y + z * z);
    // Its own x axis, up x direction, lies in the ground plane.
    const double sideX = z / std::sqrt(x * x + z * z);
    const double sideZ = -x / std::sqrt(x * x + z * z);
    camera = SWrendercamera();
    camera.SetPosition(static_cast<float>(x + eyeShift * sideX), static_cast<float>(y),
                       static_cast<float>(z + eyeShift * sideZ));
    camera.SetDirection(static_cast<float>(x / length), static_cast<float>(y / length), static_cast<float>(z / length));
}

std::optional<ReferenceScene> MakeMeshScene(const TexturedMesh& shape, const std::string& mode)
{
    uint32_t renderMode = 0;
    if (mode == "continuous")
        renderMode = SWmaterial::kModeContinuous;
    else if (mode == "flat")
        renderMode = SWmaterial::kModeFlat;
    else if (mode == "gouraud" || mode == "dot3")
        renderMode = SWmaterial::kModeGouraud;
    else if (mode == "phong")
        renderMode = SWmaterial::kModePhong;
    else
        return std::nullopt;
    ReferenceScene scene;
    scene.world = std::make_unique<SWworld>();
    SWworld& world = *scene.world;
    SWrootobject& root = *world.GetRootObject();
    SWpicture* checker = AddChecker(root);
    SWmaterial* material = AddMaterial(root, "mesh", renderMode);
    material->SetAmbientColour(0.2f, 1.0f, 1.0f, 1.0f);
    material->SetDiffuseColour(0.8f, 0.9f, 0.7f, 0.5f);
    material->SetSpecularColour(1.0f, 1.0f, 1.0f, 1.0f);
    material->SetSmoothness(20.0f);
    material->SetMaterialFlags(SWmaterial::kFlagBilinear);
    if (mode == "dot3") {
        material->SetTexture(checker);
        material->SetBumpTexture(checker);
        material->SetBumpAmount(1.0f);
    }
    scene.torus = AddMesh(world, shape, material, SWmatrix());
    world.UpdateNodeTransforms(world.GetRootNode(), 1);
    world.UpdateGeometryMatrices(world.GetRootNode());
    root.SetBackground(std::make_unique<SWbackground>(0x00303840u));
    return scene;
}

ReferenceScene MakeSphereCrowd(uint32_t columns, uint32_t rows, uint32_t segments, uint32_t rings)
{
    ReferenceScene scene;
    scene.world = std::make_unique<SWworld>();
    SWworld& world = *scene.world;
    SWrootobject& root = *world.GetRootObject();
    SWmaterial* material = AddMaterial(root, "crowd", SWmaterial::kModeGouraud);
    material->SetAmbientColour(0.2f, 1.0f, 1.0f, 1.0f);
    material->SetDiffuseColour(0.8f, 0.9f, 0.7f, 0.5f);
    material->SetTexture(AddChecker(root));
    material->SetMaterialFlags(SWmaterial::kFlagBilinear);
    const TexturedMesh sphere = MakeUvSphere(0.5f, segments, rings);
    for (uint32_t row = 0; row < rows; ++row) {
        for (uint32_t column = 0; column < columns; ++column) {
            const float x = static_cast<float>(column) - 0.5f * static_cast<float>(columns - 1);
            const float y = static_cast<float>(row) - 0.5f * static_cast<float>(rows - 1);
            scene.torus = AddMesh(world, sphere, material, SWmatrix::Translation(x, y, 0.0f));
        }
    }
    world.UpdateNodeTransforms(world.GetRootNode(), 1);
    world.UpdateGeometryMatrices(world.GetRootNode());
    root.SetBackground(std::make_unique<SWbackground>(0x00303840u));
    return scene;
}

void PlaceCrowdCamera(SWrendercamera& camera, uint32_t columns)
{
    // The window is 1.0 wide at the projection centre's distance of 1 behind the position: columns + 1 units of
    // crowd fill it from that many units away.
    camera = SWrendercamera();
    camera.SetPosition(0.0f, 0.0f, static_cast<float>(columns + 1) - 1.0f);
    camera.SetDirection(0.0f, 0.0f, 1.0f);
}

std::optional<TexturedMesh> MakeNamedMesh(const std::string& name)
{
    if (name == "cube")
        return MakeBox(1.1547f); // corners at radius 1
    if (name == "sphere")
        return MakeUvSphere(1.0f, 48, 32);
    if (name == "torus")
        return MakeTorus(0.7f, 0.3f, 128, 80, 8.0f, 2.0f);
    return std::nullopt;
}

void PlaceMeshCamera(SWrendercamera& camera, bool nearCut)
{
    const double round = 35.0 * std::numbers::pi / 180.0;
    const double up = 20.0 * std::numbers::pi / 180.0;
    const double eyeDistance = 3.5;
    const double d[3] = {std::cos(up) * std::cos(round), std::sin(up), std::cos(up) * std::sin(round)};
    camera = SWrendercamera();
    // The eye sits one unit behind the position along the direction, the camera's backward axis.
    camera.SetPosition(static_cast<float>(d[0] * (eyeDistance - 1.0)), static_cast<float>(d[1] * (eyeDistance - 1.0)),
                       static_cast<float>(d[2] * (eyeDistance - 1.0)));
    camera.SetDirection(static_cast<float>(d[0]), static_cast<float>(d[1]), static_cast<float>(d[2]));
    if (nearCut)
        camera.SetNearPlane(static_cast<float>(eyeDistance - 0.85));
}

void ShowReferenceBackground(const ReferenceScene& scene, SWrendersurface& surface)
{
    const SWbackground* background = scene.world->GetRootObject()->GetBackground();
    surface.BufferA().SetBackground(background);
    surface.BufferB().SetBackground(background);
}

} // namespace rendertest
