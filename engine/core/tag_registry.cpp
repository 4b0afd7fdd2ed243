#include "engine/core/tag_registry.h"

#include <mutex>
#include <new>
#include <unordered_map>

namespace {

struct Registry {
    std::mutex mutex; // guards creators
    std::unordered_map<uint32_t, CVTN_Creator> creators;
};

// Built on first use: registrations run during static initialisation, in no order we control.
Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

bool CVTN_TagRegistry::Register(uint32_t tag, CVTN_Creator creator)
{
    if (creator == nullptr)
        return false;
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    try {
        return registry.creators.emplace(tag, creator).second;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

CVTN_Creator CVTN_TagRegistry::Find(uint32_t tag)
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    const auto found = registry.creators.find(tag);
    return found == registry.creators.end() ? nullptr : found->second;
}

std::unique_ptr<CVTN_Container> CVTN_TagRegistry::Create(uint32_t tag)
{
    const CVTN_Creator creator = Find(tag);
    if (creator == nullptr)
        return nullptr;
    try {
        return creator();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

size_t CVTN_TagRegistry::Count()
{
    Registry& registry = TheRegistry();
    const std::lock_guard<std::mutex> lock(registry.mutex);
    return registry.creators.size();
}

CVTN_TagRegistration::CVTN_TagRegistration(uint32_t tag, CVTN_Creator creator)
    : registered(CVTN_TagRegistry::Register(tag, creator))
{
}
