#include "platform/sys/modules.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace pf {

namespace {

struct Module {
    std::string name;
    std::map<std::string, void*> symbols;
    uint32_t handle;
    uint32_t loads;
};

std::mutex g_mutex;
std::vector<Module> g_modules;
uint32_t g_lastHandle = 0;

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

Module* FindByName(std::string_view name)
{
    const auto it =
        std::find_if(g_modules.begin(), g_modules.end(), [&](const Module& m) { return SameName(m.name, name); });
    return it != g_modules.end() ? &*it : nullptr;
}

Module* FindByHandle(ModuleHandle handle)
{
    const auto it =
        std::find_if(g_modules.begin(), g_modules.end(), [&](const Module& m) { return m.handle == handle.value; });
    return it != g_modules.end() && handle.value != 0 ? &*it : nullptr;
}

} // namespace

ModuleHandle loadLibrary(std::string_view name)
{
    const std::lock_guard lock(g_mutex);
    Module* const module = FindByName(name);
    if (module == nullptr)
        return {};
    ++module->loads;
    return {module->handle};
}

void* getProcAddress(ModuleHandle handle, std::string_view symbol)
{
    const std::lock_guard lock(g_mutex);
    const Module* const module = FindByHandle(handle);
    if (module == nullptr || module->loads == 0)
        return nullptr;
    const auto it = module->symbols.find(std::string(symbol));
    return it != module->symbols.end() ? it->second : nullptr;
}

bool freeLibrary(ModuleHandle handle)
{
    const std::lock_guard lock(g_mutex);
    Module* const module = FindByHandle(handle);
    if (module == nullptr || module->loads == 0)
        return false;
    --module->loads;
    return true;
}

void registerModule(std::string name, std::map<std::string, void*> symbols)
{
    const std::lock_guard lock(g_mutex);
    if (Module* const known = FindByName(name)) {
        known->symbols = std::move(symbols);
        return;
    }
    g_modules.push_back({std::move(name), std::move(symbols), ++g_lastHandle, 0});
}

bool unregisterModule(std::string_view name)
{
    const std::lock_guard lock(g_mutex);
    const auto it =
        std::find_if(g_modules.begin(), g_modules.end(), [&](const Module& m) { return SameName(m.name, name); });
    if (it == g_modules.end())
        return false;
    g_modules.erase(it);
    return true;
}

uint32_t moduleLoadCount(std::string_view name)
{
    const std::lock_guard lock(g_mutex);
    const Module* const module = FindByName(name);
    return module != nullptr ? module->loads : 0;
}

} // namespace pf
