#pragma once
// The generated project the designer's scale measurements use. Size 1 is 10,080 nodes (65 of them meshes of about
// 16,000 triangles, textured spheres on a grid that fills the camera's view), 500 textures of 64 x 64 and 1,000 timer
// events of two actions each (a turn and a visibility change on named nodes); the other sizes scale every count.
#include <string>

class CVTND_ExtendedWorld;
class SWworld;

namespace designertest {

struct Counts {
    int nodes, events, textures, meshes;
};

Counts CountsFor(double size);
std::string NodeName(int i); // the name of the i-th node of the scene
// The scene: textures, one textured material and mesh per mesh node, nodes in groups of ten, a camera.
void FillScene(const Counts& counts, SWworld& world);
// Timer events of a one-second period, each turning one named node and hiding or showing another.
void AddEvents(CVTND_ExtendedWorld& world, const Counts& counts);

} // namespace designertest
