#include "testsupport/mesh/mesh_corpus.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>
#include <system_error>

namespace meshtest {

std::filesystem::path MeshCorpusFolder()
{
    if (const char* data = std::getenv("VORTAN_TEST_DATA"))
        return std::filesystem::path(data) / "mesh";
    if (const char* cache = std::getenv("XDG_CACHE_HOME"))
        return std::filesystem::path(cache) / "vortan-test-data/mesh";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home ? home : "/nonexistent") / ".cache/vortan-test-data/mesh";
}

std::vector<std::filesystem::path> MeshCorpusFiles()
{
    std::vector<std::filesystem::path> meshes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(MeshCorpusFolder(), error))
        if (entry.path().extension() == ".off")
            meshes.push_back(entry.path());
    std::sort(meshes.begin(), meshes.end());
    return meshes;
}

bool IsCiRun()
{
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string_view(ci) == "true";
}

} // namespace meshtest
