#include "designer/app/registry.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace {

// One table per kind of entry: first registration wins; Replace is for tests. The lock is for tests that replace
// entries while another thread reads; programs register before main and only read after.
template <typename Key, typename Value> class Table {
public:
    bool Register(const Key& key, Value value)
    {
        if (value == nullptr)
            return false;
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_entries.try_emplace(key, value).second;
    }
    Value Find(const Key& key) const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto found = m_entries.find(key);
        return found != m_entries.end() ? found->second : nullptr;
    }
    Value Replace(const Key& key, Value value)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        Value previous = nullptr;
        if (const auto found = m_entries.find(key); found != m_entries.end()) {
            previous = found->second;
            m_entries.erase(found);
        }
        if (value != nullptr)
            m_entries.emplace(key, value);
        return previous;
    }

private:
    mutable std::mutex m_mutex;
    std::map<Key, Value> m_entries;
};

struct Tables {
    Table<std::pair<uint16_t, int32_t>, CVTND_EditorConstructor> editors;
    std::mutex reachMutex;
    std::set<std::pair<uint16_t, int32_t>> actionOnlyEditors; // the rest reach what their kind does
    Table<uint16_t, CVTND_ObjectCreator> creators;
    Table<FrameClass, CVTND_FrameCreator> frames;
    Table<ModalTool, CVTND_ModalToolRun> tools;
    Table<int, CVTND_EngineCreator> engine;
    Table<int, CVTND_ComponentCreator> images;
    Table<int, CVTND_GradientStoreCreator> gradients;
    std::mutex dropperMutex;
    std::vector<CVTND_ReferenceDropper> droppers;
};

// Function-local, so that registrations from other files' static initialisers find it built.
Tables& Registry()
{
    static Tables tables;
    return tables;
}

constexpr uint16_t kActionType = static_cast<uint16_t>(ObjectType::kAction);

std::pair<uint16_t, int32_t> EditorKey(uint16_t type, int32_t actionKind)
{
    return {type, type == kActionType ? actionKind : kAnyActionKind};
}

// The key FindEditor finds an editor under.
std::pair<uint16_t, int32_t> FoundEditorKey(uint16_t type, int32_t actionKind)
{
    if (type == kActionType && Registry().editors.Find({type, actionKind}) != nullptr)
        return {type, actionKind};
    return {type, kAnyActionKind};
}

void SetEditorReach(const std::pair<uint16_t, int32_t>& key, CVTND_EditorReach reach)
{
    Tables& tables = Registry();
    const std::lock_guard<std::mutex> lock(tables.reachMutex);
    if (reach == CVTND_EditorReach::kItsActionOnly && key.first == kActionType)
        tables.actionOnlyEditors.insert(key);
    else
        tables.actionOnlyEditors.erase(key);
}

} // namespace

bool CVTND_Registry::RegisterEditor(uint16_t type, int32_t actionKind, CVTND_EditorConstructor constructor,
                                    CVTND_EditorReach reach)
{
    const bool registered = Registry().editors.Register(EditorKey(type, actionKind), constructor);
    if (registered)
        SetEditorReach(EditorKey(type, actionKind), reach);
    return registered;
}

CVTND_EditorConstructor CVTND_Registry::FindEditor(uint16_t type, int32_t actionKind)
{
    return Registry().editors.Find(FoundEditorKey(type, actionKind));
}

CVTND_EditorReach CVTND_Registry::FindEditorReach(uint16_t type, int32_t actionKind)
{
    const std::pair<uint16_t, int32_t> key = FoundEditorKey(type, actionKind);
    Tables& tables = Registry();
    const std::lock_guard<std::mutex> lock(tables.reachMutex);
    return tables.actionOnlyEditors.contains(key) ? CVTND_EditorReach::kItsActionOnly : CVTND_EditorReach::kItsKind;
}

CVTND_EditorConstructor CVTND_Registry::ReplaceEditor(uint16_t type, int32_t actionKind, CVTND_EditorConstructor c)
{
    SetEditorReach(EditorKey(type, actionKind), CVTND_EditorReach::kItsKind);
    return Registry().editors.Replace(EditorKey(type, actionKind), c);
}

bool CVTND_Registry::RegisterObjectCreator(uint16_t type, CVTND_ObjectCreator creator)
{
    return Registry().creators.Register(type, creator);
}

CVTND_ObjectCreator CVTND_Registry::FindObjectCreator(uint16_t type)
{
    return Registry().creators.Find(type);
}

CVTND_ObjectCreator CVTND_Registry::ReplaceObjectCreator(uint16_t type, CVTND_ObjectCreator creator)
{
    return Registry().creators.Replace(type, creator);
}

bool CVTND_Registry::RegisterFrame(FrameClass frame, CVTND_FrameCreator creator)
{
    return Registry().frames.Register(frame, creator);
}

CVTND_FrameCreator CVTND_Registry::FindFrame(FrameClass frame)
{
    return Registry().frames.Find(frame);
}

CVTND_FrameCreator CVTND_Registry::ReplaceFrame(FrameClass frame, CVTND_FrameCreator creator)
{
    return Registry().frames.Replace(frame, creator);
}

bool CVTND_Registry::RegisterModalTool(ModalTool tool, CVTND_ModalToolRun run)
{
    return Registry().tools.Register(tool, run);
}

CVTND_ModalToolRun CVTND_Registry::FindModalTool(ModalTool tool)
{
    return Registry().tools.Find(tool);
}

CVTND_ModalToolRun CVTND_Registry::ReplaceModalTool(ModalTool tool, CVTND_ModalToolRun run)
{
    return Registry().tools.Replace(tool, run);
}

bool CVTND_Registry::AddReferenceDropper(CVTND_ReferenceDropper dropper)
{
    Tables& tables = Registry();
    const std::lock_guard<std::mutex> lock(tables.dropperMutex);
    if (dropper == nullptr ||
        std::find(tables.droppers.begin(), tables.droppers.end(), dropper) != tables.droppers.end())
        return false;
    tables.droppers.push_back(dropper);
    return true;
}

bool CVTND_Registry::RemoveReferenceDropper(CVTND_ReferenceDropper dropper)
{
    Tables& tables = Registry();
    const std::lock_guard<std::mutex> lock(tables.dropperMutex);
    return std::erase(tables.droppers, dropper) != 0;
}

std::vector<CVTND_ReferenceDropper> CVTND_Registry::ReferenceDroppers()
{
    Tables& tables = Registry();
    const std::lock_guard<std::mutex> lock(tables.dropperMutex);
    return tables.droppers;
}

bool CVTND_Registry::RegisterEngineCreator(CVTND_EngineCreator creator)
{
    return Registry().engine.Register(0, creator);
}

CVTND_EngineCreator CVTND_Registry::FindEngineCreator()
{
    return Registry().engine.Find(0);
}

CVTND_EngineCreator CVTND_Registry::ReplaceEngineCreator(CVTND_EngineCreator creator)
{
    return Registry().engine.Replace(0, creator);
}

bool CVTND_Registry::RegisterEditorImagesCreator(CVTND_ComponentCreator creator)
{
    return Registry().images.Register(0, creator);
}

CVTND_ComponentCreator CVTND_Registry::FindEditorImagesCreator()
{
    return Registry().images.Find(0);
}

CVTND_ComponentCreator CVTND_Registry::ReplaceEditorImagesCreator(CVTND_ComponentCreator creator)
{
    return Registry().images.Replace(0, creator);
}

bool CVTND_Registry::RegisterGradientStoreCreator(CVTND_GradientStoreCreator creator)
{
    return Registry().gradients.Register(0, creator);
}

CVTND_GradientStoreCreator CVTND_Registry::FindGradientStoreCreator()
{
    return Registry().gradients.Find(0);
}

CVTND_GradientStoreCreator CVTND_Registry::ReplaceGradientStoreCreator(CVTND_GradientStoreCreator creator)
{
    return Registry().gradients.Replace(0, creator);
}
