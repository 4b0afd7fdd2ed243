#pragma once
// Run-time lookup of optional components by library and symbol name. There is no dynamic loading: a component
// our own code provides registers its name and entry points, and callers find them the way they would find a
// system library. Library names compare without regard to ASCII case; symbol names exactly. An unknown name is
// not an error: the caller gets nothing and takes its other path.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace pf {

struct ModuleHandle {
    uint32_t value = 0; // 0 is no module; values are never reused
    explicit operator bool() const { return value != 0; }
    bool operator==(const ModuleHandle&) const = default;
};

ModuleHandle loadLibrary(std::string_view name);                    // counts a load; none for an unknown name
void* getProcAddress(ModuleHandle module, std::string_view symbol); // null when unknown, or the module is not loaded
bool freeLibrary(ModuleHandle module);                              // false when it is not loaded

void registerModule(std::string name, std::map<std::string, void*> symbols); // replaces the symbols of a known one
bool unregisterModule(std::string_view name);    // even while loaded: later lookups find nothing
uint32_t moduleLoadCount(std::string_view name); // loads not yet freed

} // namespace pf
