#pragma once
// The run-time registry every speech codec instance carries: named trace points (probes) that the codec fires at
// fixed stages of its work, named callbacks (hooks) attached to probes with a priority, and named parameters
// through which settings and chosen state fields are read and written by name. Nothing here knows a codec.
//
// Handles are list nodes (registry_list.h); the registry owns every record it hands out a handle to. Results:
// 0 success, 1 failure; registrations return the new handle or null.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "codecs/sound/codec_handle.h"
#include "codecs/sound/speech/registry_list.h"

namespace sound {

// Called with the hook's context word and the probe's handle (callback), or the hook's own handle (release).
using HookCallback = void (*)(uintptr_t context, RegistryNode* handle);

struct Probe {
    std::string name;
    RegistryList links; // ProbeLink records, highest priority first
    uint32_t enabled = 1;
};

struct ProbeHook {
    std::string name;
    HookCallback callback = nullptr;
    HookCallback release = nullptr; // may be null
    uintptr_t context = 0;          // handed back unchanged; pointer-sized, so it may carry a pointer
    RegistryList links;             // ProbeLink records, highest priority first
    uint32_t enabled = 1;
};

// One record, listed in both the hook's and the probe's link list.
struct ProbeLink {
    uint16_t priority = 0;
    ProbeHook* hook = nullptr;
    Probe* probe = nullptr;
};

// Element kinds of parameters: 1-2 one byte, 3-4 two bytes, 5-9 four bytes (9 a float), 10 eight bytes.
inline constexpr uint32_t kElementKindBytes = 2;
inline constexpr uint32_t kElementKindShort = 3;
inline constexpr uint32_t kElementKindFloat = 9;
inline constexpr uint32_t kElementKindLast = 10;

enum class ParameterMode : uint32_t {
    kField = 0,         // value: pointer to one element
    kConstant32 = 1,    // value: the 32-bit value itself; read-only
    kConstant16 = 2,    // value: the 16-bit value in its low half; read-only
    kArray = 3,         // value: pointer to count elements
    kReadOnlyArray = 4, // the same, read-only
    kBlock = 5,         // value: pointer to count bytes
};

struct NamedParameter {
    std::string name;
    uintptr_t value = 0; // a pointer or an inline constant, by mode; pointer-sized so that pointers survive
    uint32_t count = 0;  // elements (array modes) or bytes (block mode), else 0
    uint32_t kind = 0;   // 1..10, 0 where it does not apply
    ParameterMode mode = ParameterMode::kField;
};

class ProbeRegistry;

// The registry's operations in the order a caller that receives the table sees them (slots 0-29).
struct ProbeRegistryOperations {
    int (*deleteProbe)(ProbeRegistry& registry, RegistryNode* probe);
    RegistryNode* (*registerProbe)(ProbeRegistry& registry, const char* name);
    int (*fireProbe)(RegistryNode* probe);
    int (*disableProbe)(RegistryNode* probe);
    int (*enableProbe)(RegistryNode* probe);
    RegistryNode* (*findProbe)(const ProbeRegistry& registry, const char* name);
    void (*reserved6)();
    int (*deleteHook)(ProbeRegistry& registry, RegistryNode* hook);
    RegistryNode* (*registerHook)(ProbeRegistry& registry, const char* name, HookCallback callback,
                                  HookCallback release, uintptr_t context);
    RegistryNode* (*findHook)(const ProbeRegistry& registry, const char* name);
    int (*disableHook)(RegistryNode* hook);
    int (*enableHook)(RegistryNode* hook);
    int (*attachHook)(RegistryNode* probe, RegistryNode* hook, uint16_t priority);
    int (*detachHook)(RegistryNode* probe, RegistryNode* hook);
    HookCallback (*getHookCallback)(RegistryNode* hook);
    int (*setHookCallback)(RegistryNode* hook, HookCallback callback);
    uintptr_t (*getHookContext)(RegistryNode* hook);
    int (*setHookContext)(RegistryNode* hook, uintptr_t context);
    void (*reserved18)();
    int (*deleteParameter)(ProbeRegistry& registry, RegistryNode* parameter);
    RegistryNode* (*registerArrayParameter)(ProbeRegistry& registry, void* storage, uint32_t kind, uint32_t count,
                                            const char* name);
    RegistryNode* (*registerReadOnlyArrayParameter)(ProbeRegistry& registry, void* storage, uint32_t kind,
                                                    uint32_t count, const char* name);
    RegistryNode* (*registerFieldParameter)(ProbeRegistry& registry, void* storage, uint32_t kind, const char* name);
    RegistryNode* (*registerBlockParameter)(ProbeRegistry& registry, void* storage, uint32_t bytes, const char* name);
    RegistryNode* (*registerConstant32)(ProbeRegistry& registry, uint32_t value, const char* name);
    RegistryNode* (*registerConstant16)(ProbeRegistry& registry, uint16_t value, const char* name);
    RegistryNode* (*findParameter)(const ProbeRegistry& registry, const char* name);
    int (*getParameter)(RegistryNode* parameter, void* destination);
    int (*setParameter)(RegistryNode* parameter, const void* source);
    void (*reserved29)();
};

class ProbeRegistry : public CodecPart {
public:
    ~ProbeRegistry() override; // deletes every probe, then every hook, then every parameter

    RegistryList& Probes() { return *m_lists[0]; }
    RegistryList& Hooks() { return *m_lists[1]; }
    RegistryList& Parameters() { return *m_lists[2]; }
    const RegistryList& Probes() const { return *m_lists[0]; }
    const RegistryList& Hooks() const { return *m_lists[1]; }
    const RegistryList& Parameters() const { return *m_lists[2]; }
    const ProbeRegistryOperations& Operations() const { return *m_operations; }

private:
    ProbeRegistry() = default;
    friend std::unique_ptr<ProbeRegistry> CreateProbeRegistry();

    // Probes, hooks, parameters, and a fourth list that is made and freed with the registry and never filled.
    std::array<std::unique_ptr<RegistryList>, 4> m_lists;
    std::unique_ptr<ProbeRegistryOperations> m_operations;
};

std::unique_ptr<ProbeRegistry> CreateProbeRegistry(); // null when any part of it cannot be allocated
void DestroyProbeRegistry(std::unique_ptr<ProbeRegistry>& registry);

int DeleteProbe(ProbeRegistry& registry, RegistryNode* probe);
RegistryNode* RegisterProbe(ProbeRegistry& registry, const char* name);
int FireProbe(RegistryNode* probe); // 1 for a null or disabled probe; else calls the enabled hooks in order
int DisableProbe(RegistryNode* probe);
int EnableProbe(RegistryNode* probe);
RegistryNode* FindProbe(const ProbeRegistry& registry, const char* name); // case-sensitive, first match

int DeleteHook(ProbeRegistry& registry, RegistryNode* hook); // detaches, then release(context, hook)
RegistryNode* RegisterHook(ProbeRegistry& registry, const char* name, HookCallback callback, HookCallback release,
                           uintptr_t context);
RegistryNode* FindHook(const ProbeRegistry& registry, const char* name);
int DisableHook(RegistryNode* hook);
int EnableHook(RegistryNode* hook);
int AttachHook(RegistryNode* probe, RegistryNode* hook, uint16_t priority); // after links of equal priority
int DetachHook(RegistryNode* probe, RegistryNode* hook);                    // 1 when they are not linked
HookCallback GetHookCallback(RegistryNode* hook);
int SetHookCallback(RegistryNode* hook, HookCallback callback);
uintptr_t GetHookContext(RegistryNode* hook);
int SetHookContext(RegistryNode* hook, uintptr_t context);

int DeleteParameter(ProbeRegistry& registry, RegistryNode* parameter);
RegistryNode* RegisterArrayParameter(ProbeRegistry& registry, void* storage, uint32_t kind, uint32_t count,
                                     const char* name);
RegistryNode* RegisterReadOnlyArrayParameter(ProbeRegistry& registry, void* storage, uint32_t kind, uint32_t count,
                                             const char* name);
RegistryNode* RegisterFieldParameter(ProbeRegistry& registry, void* storage, uint32_t kind, const char* name);
RegistryNode* RegisterBlockParameter(ProbeRegistry& registry, void* storage, uint32_t bytes, const char* name);
RegistryNode* RegisterConstant32(ProbeRegistry& registry, uint32_t value, const char* name);
RegistryNode* RegisterConstant16(ProbeRegistry& registry, uint16_t value, const char* name);
RegistryNode* FindParameter(const ProbeRegistry& registry, const char* name);
int GetParameter(RegistryNode* parameter, void* destination);  // 1: null, bad kind; constants write their width only
int SetParameter(RegistryNode* parameter, const void* source); // 1: null, read-only mode, bad kind

int ConvertElements(void* destination, const void* source, uint32_t kind, uint32_t count); // 1 for a bad kind

// Records behind handles, null for a null handle.
inline Probe* ProbeOf(RegistryNode* node)
{
    return static_cast<Probe*>(NodeData(node));
}
inline ProbeHook* HookOf(RegistryNode* node)
{
    return static_cast<ProbeHook*>(NodeData(node));
}
inline NamedParameter* ParameterOf(RegistryNode* node)
{
    return static_cast<NamedParameter*>(NodeData(node));
}

} // namespace sound
