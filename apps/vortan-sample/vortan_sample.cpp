// vortan-sample OUT.vtp: writes the designer's bundled sample project (a camera, a turning textured cube and a
// floor, with a click on the cube that switches the background). The build runs it, so the sample always matches
// the project format. Exit 0 written, 2 usage, 3 the file could not be written.
#include <cstdio>
#include <string>

#include "designer/app/extended_world.h"
#include "designer/app/project.h"
#include "designer/app/sample_project.h"

int main(int argc, char** argv)
{
    // An option is never a file name: "--help" would be written as a project of that name.
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: vortan-sample OUT.vtp\n");
        return 2;
    }
    CVTND_ExtendedWorld world;
    BuildSampleWorld(world);
    CVTND_Project project(world, nullptr);
    project.SetObjectName("Sample");
    project.SetHtmlOption(true);
    if (!project.SaveFile(argv[1], nullptr)) {
        std::fprintf(stderr, "vortan-sample: cannot write %s\n", argv[1]);
        return 3;
    }
    return 0;
}
