#include "testsupport/tools/tool_world.h"

#include "engine/core/document_file.h"
#include "engine/core/scene_import.h"
#include "engine/core/world.h"
#include "testsupport/tools/tool_input.h"

namespace tooltest {

namespace {

template <typename Load> WorldLoadResult LoadChecked(const std::string& path, std::string& outError, Load load)
{
    if (!CheckInput(path, outError)) {
        WorldLoadResult refused;
        refused.status = DocumentStatus::kCannotRead;
        return refused;
    }
    WorldLoadResult loaded = load();
    if (loaded.status != DocumentStatus::kOk)
        outError = "cannot read " + path + ": " + DocumentStatusText(loaded.status);
    return loaded;
}

} // namespace

WorldLoadResult LoadToolWorld(const std::string& path, SWreadcontext::IdMode mode, std::string& outError)
{
    return LoadChecked(path, outError, [&] { return LoadWorldFile(path, mode); });
}

WorldLoadResult ImportToolWorld(const std::string& path, std::string& outError)
{
    return LoadChecked(path, outError, [&] { return ImportWorld(path); });
}

} // namespace tooltest
