#pragma once
// The fetched mesh corpus (scripts/fetch-test-data): where it lies, its meshes, and whether its absence fails.
#include <filesystem>
#include <vector>

namespace meshtest {

std::filesystem::path MeshCorpusFolder();             // $VORTAN_TEST_DATA/mesh, else the fetch script's cache folder
std::vector<std::filesystem::path> MeshCorpusFiles(); // its .off files, sorted; empty when it is absent
bool IsCiRun(); // CI=true: a missing corpus fails the test that needs it instead of skipping

} // namespace meshtest
