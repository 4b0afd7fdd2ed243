#include "engine/behaviour/action_kind.h"

#include <map>
#include <mutex>
#include <utility>

namespace {

struct KindRow {
    const char* category; // set on the first kind of a category
    int32_t id;
    const char* name;
    uint8_t listed;
};

// The actions panel lists the categories and kinds in this order.
constexpr KindRow kCatalogue[] = {
    {"object motion", 34, "reset", 1},
    {nullptr, 2, "OLD Animation play", 0},
    {nullptr, 32, "OLD Animation 'jump to'", 0},
    {nullptr, 3, "OLD Animation stop", 0},
    {nullptr, 26, "OLD Translation", 0},
    {nullptr, 28, "OLD Stop Translation", 0},
    {nullptr, 27, "OLD Rotation", 0},
    {nullptr, 29, "OLD Stop Rotation", 0},
    {nullptr, 30, "queue actions", 1},
    {nullptr, 31, "stop queued actions", 1},
    {nullptr, 4, "OLD Bind Arcball", 0},
    {nullptr, 41, "rotate XYZ", 1},
    {nullptr, 42, "rotation align", 1},
    {nullptr, 43, "translate XYZ", 1},
    {nullptr, 53, "scale XYZ", 1},
    {nullptr, 60, "Mouthworks Speech Script", 0},
    {nullptr, 44, "animation play", 1},
    {nullptr, 47, "animation jump to", 1},
    {nullptr, 46, "stop...", 1},
    {"interaction", 45, "mouse - arcball", 1},
    {nullptr, 63, "mouse - extended", 1},
    {nullptr, 64, "mouse/keyboard - navigation", 1},
    {"node animation", 50, "node animation play", 1},
    {nullptr, 51, "node animation jump to", 1},
    {"camera", 5, "select camera", 1},
    {nullptr, 37, "stereo vision feature", 1},
    {"sound", 6, "system beep", 1},
    {nullptr, 7, "play sound", 1},
    {nullptr, 8, "stop sound", 1},
    {"world", 54, "load world", 1},
    {nullptr, 55, "unload world", 1},
    {nullptr, 56, "hide/show world", 1},
    {"link", 10, "load URL", 1},
    {nullptr, 20, "load vto", 1},
    {nullptr, 40, "send message to the host", 1},
    {"event", 11, "trigger event", 1},
    {nullptr, 12, "reset event", 1},
    {nullptr, 13, "activate event", 1},
    {nullptr, 14, "deactivate event", 1},
    {nullptr, 15, "Toggle event activation", 0},
    {nullptr, 38, "Swap two events activation", 0},
    {"rendering", 19, "set background", 1},
    {nullptr, 21, "hide object", 1},
    {nullptr, 22, "show object", 1},
    {nullptr, 23, "bilinear filtering", 1},
    {"texture", 58, "toggle a hot spot's own label", 1},
    {"expression", 35, "execute expression", 1},
    {nullptr, 25, "condition test", 1},
    {"cursor", 39, "set mouse pointer", 1},
    {"particle system", 48, "start particle emission", 1},
    {nullptr, 49, "stop particle emission", 1},
};

// Filled by namespace-scope statics before main; read afterwards. The lock covers registrations made later by
// modules loaded at run time.
struct Registries {
    std::mutex lock;
    std::map<int32_t, ActionHandler> handlers;
    std::map<int32_t, MotionCreator> creators;
};

Registries& GetRegistries()
{
    static Registries registries;
    return registries;
}

} // namespace

void SWactioncategories::Build()
{
    m_categories.DeleteAll();
    SWactioncategory* category = nullptr;
    for (const KindRow& row : kCatalogue) {
        if (row.category != nullptr) {
            category = new SWactioncategory(row.category);
            m_categories.AddTail(category);
        }
        auto* kind = new SWactionkind();
        kind->SetName(std::string(row.name));
        kind->SetHandler(FindActionHandler(row.id));
        kind->SetKindId(row.id);
        kind->SetListed(row.listed);
        category->AddKind(kind);
    }
}

SWactionkind* SWactioncategories::FindKind(int32_t kindId) const
{
    for (auto* c = GetFirstCategory(); c != nullptr; c = static_cast<SWactioncategory*>(c->Next()))
        for (auto* k = c->GetFirstKind(); k != nullptr; k = static_cast<SWactionkind*>(k->Next()))
            if (k->GetKindId() == kindId)
                return k;
    return nullptr;
}

size_t SWactioncategories::CountKinds() const
{
    size_t count = 0;
    for (auto* c = GetFirstCategory(); c != nullptr; c = static_cast<SWactioncategory*>(c->Next()))
        count += c->CountKinds();
    return count;
}

bool RegisterActionHandler(int32_t kindId, ActionHandler handler)
{
    Registries& registries = GetRegistries();
    const std::lock_guard guard(registries.lock);
    return registries.handlers.insert_or_assign(kindId, handler).second;
}

bool RegisterMotionCreator(int32_t kindId, MotionCreator creator)
{
    Registries& registries = GetRegistries();
    const std::lock_guard guard(registries.lock);
    return registries.creators.insert_or_assign(kindId, creator).second;
}

ActionHandler FindActionHandler(int32_t kindId)
{
    Registries& registries = GetRegistries();
    const std::lock_guard guard(registries.lock);
    const auto found = registries.handlers.find(kindId);
    return found != registries.handlers.end() ? found->second : nullptr;
}

MotionCreator FindMotionCreator(int32_t kindId)
{
    Registries& registries = GetRegistries();
    const std::lock_guard guard(registries.lock);
    const auto found = registries.creators.find(kindId);
    return found != registries.creators.end() ? found->second : nullptr;
}

std::vector<int32_t> ListMotionCreatorKinds()
{
    Registries& registries = GetRegistries();
    const std::lock_guard guard(registries.lock);
    std::vector<int32_t> kinds;
    kinds.reserve(registries.creators.size());
    for (const auto& [kind, creator] : registries.creators)
        kinds.push_back(kind);
    return kinds;
}

bool ActionKindNamesNodes(int32_t kindId)
{
    constexpr std::pair<int32_t, int32_t> kRanges[] = {{2, 5},   {21, 22}, {26, 29}, {32, 34},
                                                       {37, 37}, {41, 53}, {57, 58}, {60, 64}};
    for (const auto& [from, to] : kRanges)
        if (kindId >= from && kindId <= to)
            return true;
    return false;
}
