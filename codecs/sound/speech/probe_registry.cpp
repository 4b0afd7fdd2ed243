#include "codecs/sound/speech/probe_registry.h"

#include <cstring>
#include <new>

namespace sound {

namespace {

void ReservedSlot() {}

const ProbeRegistryOperations kOperations = {
    DeleteProbe,
    RegisterProbe,
    FireProbe,
    DisableProbe,
    EnableProbe,
    FindProbe,
    ReservedSlot,
    DeleteHook,
    RegisterHook,
    FindHook,
    DisableHook,
    EnableHook,
    AttachHook,
    DetachHook,
    GetHookCallback,
    SetHookCallback,
    GetHookContext,
    SetHookContext,
    ReservedSlot,
    DeleteParameter,
    RegisterArrayParameter,
    RegisterReadOnlyArrayParameter,
    RegisterFieldParameter,
    RegisterBlockParameter,
    RegisterConstant32,
    RegisterConstant16,
    FindParameter,
    GetParameter,
    SetParameter,
    ReservedSlot,
};

// Appends the record to the list and hands its ownership to the registry; null, with the record freed, when the
// node cannot be made.
template <typename Record> RegistryNode* AppendRecord(RegistryList& list, std::unique_ptr<Record> record)
{
    if (!record)
        return nullptr;
    RegistryNode* const node = ListAppend(list, record.get(), kListForward);
    if (node != nullptr)
        record.release();
    return node;
}

template <typename Record> std::unique_ptr<Record> MakeNamed(const char* name)
{
    try {
        auto record = std::make_unique<Record>();
        record->name = name != nullptr ? name : "";
        return record;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

template <typename Record> RegistryNode* FindNamed(const RegistryList& list, const char* name)
{
    if (name == nullptr)
        return nullptr;
    for (RegistryNode* node = ListFirst(list); node != nullptr; node = node->next) {
        if (static_cast<const Record*>(node->data)->name == name)
            return node;
    }
    return nullptr;
}

// The link's node in a link list, or null.
RegistryNode* LinkNode(const RegistryList& links, const ProbeLink* link)
{
    return ListFind(links, link, kListForward);
}

// Takes a link out of both lists and frees it.
void UnlinkLink(ProbeLink* link)
{
    ListRemove(link->hook->links, LinkNode(link->hook->links, link));
    ListRemove(link->probe->links, LinkNode(link->probe->links, link));
    delete link; // made by AttachHook, the only place links are made
}

// Inserts the link before the first one of lower priority, so equal priorities keep their attaching order.
bool InsertByPriority(RegistryList& links, ProbeLink* link)
{
    for (RegistryNode* node = ListFirst(links); node != nullptr; node = node->next) {
        if (static_cast<ProbeLink*>(node->data)->priority < link->priority)
            return ListInsert(links, node, link, 0) != nullptr;
    }
    return ListAppend(links, link, kListForward) != nullptr;
}

RegistryNode* RegisterParameter(ProbeRegistry& registry, const char* name, uintptr_t value, uint32_t count,
                                uint32_t kind, ParameterMode mode)
{
    std::unique_ptr<NamedParameter> parameter = MakeNamed<NamedParameter>(name);
    if (!parameter)
        return nullptr;
    parameter->value = value;
    parameter->count = count;
    parameter->kind = kind;
    parameter->mode = mode;
    return AppendRecord(registry.Parameters(), std::move(parameter));
}

uint32_t KindBytes(uint32_t kind)
{
    if (kind >= 1 && kind <= 2)
        return 1;
    if (kind <= 4)
        return 2;
    if (kind <= 9)
        return 4;
    return 8;
}

bool IsKnownKind(uint32_t kind)
{
    return kind >= 1 && kind <= kElementKindLast;
}

} // namespace

std::unique_ptr<ProbeRegistry> CreateProbeRegistry()
{
    std::unique_ptr<ProbeRegistry> registry(new (std::nothrow) ProbeRegistry);
    if (!registry)
        return nullptr;
    for (std::unique_ptr<RegistryList>& list : registry->m_lists) {
        list = ListCreate();
        if (!list)
            return nullptr;
    }
    registry->m_operations.reset(new (std::nothrow) ProbeRegistryOperations(kOperations));
    if (!registry->m_operations)
        return nullptr;
    return registry;
}

ProbeRegistry::~ProbeRegistry()
{
    // A registry that failed half-way through its creation has lists missing; it holds no records then.
    if (!m_lists[0] || !m_lists[1] || !m_lists[2])
        return;
    while (ListFirst(Probes()) != nullptr)
        DeleteProbe(*this, ListFirst(Probes()));
    while (ListFirst(Hooks()) != nullptr)
        DeleteHook(*this, ListFirst(Hooks()));
    while (ListFirst(Parameters()) != nullptr)
        DeleteParameter(*this, ListFirst(Parameters()));
}

void DestroyProbeRegistry(std::unique_ptr<ProbeRegistry>& registry)
{
    registry.reset();
}

int DeleteProbe(ProbeRegistry& registry, RegistryNode* probeNode)
{
    Probe* const probe = ProbeOf(probeNode);
    if (probe == nullptr)
        return 1;
    while (ListFirst(probe->links) != nullptr) {
        auto* const link = static_cast<ProbeLink*>(ListFirst(probe->links)->data);
        RegistryNode* const hookNode = ListFind(registry.Hooks(), link->hook, kListForward);
        // A hook of another registry cannot be found through ours: its link is taken out directly, or the loop
        // would never end.
        if (hookNode == nullptr || DetachHook(probeNode, hookNode) != 0)
            UnlinkLink(link);
    }
    ListRemove(registry.Probes(), probeNode);
    delete probe; // made by RegisterProbe and owned by the registry from then on
    return 0;
}

RegistryNode* RegisterProbe(ProbeRegistry& registry, const char* name)
{
    return AppendRecord(registry.Probes(), MakeNamed<Probe>(name));
}

int FireProbe(RegistryNode* probeNode)
{
    const Probe* const probe = ProbeOf(probeNode);
    if (probe == nullptr || probe->enabled == 0)
        return 1;
    for (RegistryNode* node = ListFirst(probe->links); node != nullptr;) {
        // The callback may detach its own link; step on first.
        RegistryNode* const next = node->next;
        const ProbeHook* const hook = static_cast<ProbeLink*>(node->data)->hook;
        if (hook->enabled == 1 && hook->callback != nullptr)
            hook->callback(hook->context, probeNode);
        node = next;
    }
    return 0;
}

int DisableProbe(RegistryNode* probeNode)
{
    Probe* const probe = ProbeOf(probeNode);
    if (probe == nullptr)
        return 1;
    probe->enabled = 0;
    return 0;
}

int EnableProbe(RegistryNode* probeNode)
{
    Probe* const probe = ProbeOf(probeNode);
    if (probe == nullptr)
        return 1;
    probe->enabled = 1;
    return 0;
}

RegistryNode* FindProbe(const ProbeRegistry& registry, const char* name)
{
    return FindNamed<Probe>(registry.Probes(), name);
}

int DeleteHook(ProbeRegistry& registry, RegistryNode* hookNode)
{
    ProbeHook* const hook = HookOf(hookNode);
    if (hook == nullptr)
        return 1;
    while (ListFirst(hook->links) != nullptr) {
        auto* const link = static_cast<ProbeLink*>(ListFirst(hook->links)->data);
        RegistryNode* const probeNode = ListFind(registry.Probes(), link->probe, kListForward);
        if (probeNode == nullptr || DetachHook(probeNode, hookNode) != 0)
            UnlinkLink(link);
    }
    if (hook->release != nullptr)
        hook->release(hook->context, hookNode);
    ListRemove(registry.Hooks(), hookNode);
    delete hook; // made by RegisterHook and owned by the registry from then on
    return 0;
}

RegistryNode* RegisterHook(ProbeRegistry& registry, const char* name, HookCallback callback, HookCallback release,
                           uintptr_t context)
{
    std::unique_ptr<ProbeHook> hook = MakeNamed<ProbeHook>(name);
    if (!hook)
        return nullptr;
    hook->callback = callback;
    hook->release = release;
    hook->context = context;
    return AppendRecord(registry.Hooks(), std::move(hook));
}

RegistryNode* FindHook(const ProbeRegistry& registry, const char* name)
{
    return FindNamed<ProbeHook>(registry.Hooks(), name);
}

int DisableHook(RegistryNode* hookNode)
{
    ProbeHook* const hook = HookOf(hookNode);
    if (hook == nullptr)
        return 1;
    hook->enabled = 0;
    return 0;
}

int EnableHook(RegistryNode* hookNode)
{
    ProbeHook* const hook = HookOf(hookNode);
    if (hook == nullptr)
        return 1;
    hook->enabled = 1;
    return 0;
}

int AttachHook(RegistryNode* probeNode, RegistryNode* hookNode, uint16_t priority)
{
    Probe* const probe = ProbeOf(probeNode);
    ProbeHook* const hook = HookOf(hookNode);
    if (probe == nullptr || hook == nullptr)
        return 1;
    // Links are the one record that sits in two lists; UnlinkLink frees them.
    auto* const link = new (std::nothrow) ProbeLink{priority, hook, probe};
    if (link == nullptr)
        return 1;
    if (!InsertByPriority(hook->links, link)) {
        delete link;
        return 1;
    }
    if (!InsertByPriority(probe->links, link)) {
        ListRemove(hook->links, LinkNode(hook->links, link));
        delete link;
        return 1;
    }
    return 0;
}

int DetachHook(RegistryNode* probeNode, RegistryNode* hookNode)
{
    const Probe* const probe = ProbeOf(probeNode);
    const ProbeHook* const hook = HookOf(hookNode);
    if (probe == nullptr || hook == nullptr)
        return 1;
    for (RegistryNode* node = ListFirst(hook->links); node != nullptr; node = node->next) {
        auto* const link = static_cast<ProbeLink*>(node->data);
        if (link->probe == probe) {
            UnlinkLink(link);
            return 0;
        }
    }
    return 1;
}

HookCallback GetHookCallback(RegistryNode* hookNode)
{
    const ProbeHook* const hook = HookOf(hookNode);
    return hook != nullptr ? hook->callback : nullptr;
}

int SetHookCallback(RegistryNode* hookNode, HookCallback callback)
{
    ProbeHook* const hook = HookOf(hookNode);
    if (hook == nullptr)
        return 1;
    hook->callback = callback;
    return 0;
}

uintptr_t GetHookContext(RegistryNode* hookNode)
{
    const ProbeHook* const hook = HookOf(hookNode);
    return hook != nullptr ? hook->context : 0;
}

int SetHookContext(RegistryNode* hookNode, uintptr_t context)
{
    ProbeHook* const hook = HookOf(hookNode);
    if (hook == nullptr)
        return 1;
    hook->context = context;
    return 0;
}

int DeleteParameter(ProbeRegistry& registry, RegistryNode* parameterNode)
{
    NamedParameter* const parameter = ParameterOf(parameterNode);
    if (parameter == nullptr)
        return 1;
    ListRemove(registry.Parameters(), parameterNode);
    delete parameter; // made by a registration and owned by the registry from then on
    return 0;
}

RegistryNode* RegisterArrayParameter(ProbeRegistry& registry, void* storage, uint32_t kind, uint32_t count,
                                     const char* name)
{
    return RegisterParameter(registry, name, reinterpret_cast<uintptr_t>(storage), count, kind, ParameterMode::kArray);
}

RegistryNode* RegisterReadOnlyArrayParameter(ProbeRegistry& registry, void* storage, uint32_t kind, uint32_t count,
                                             const char* name)
{
    return RegisterParameter(registry, name, reinterpret_cast<uintptr_t>(storage), count, kind,
                             ParameterMode::kReadOnlyArray);
}

RegistryNode* RegisterFieldParameter(ProbeRegistry& registry, void* storage, uint32_t kind, const char* name)
{
    return RegisterParameter(registry, name, reinterpret_cast<uintptr_t>(storage), 0, kind, ParameterMode::kField);
}

RegistryNode* RegisterBlockParameter(ProbeRegistry& registry, void* storage, uint32_t bytes, const char* name)
{
    return RegisterParameter(registry, name, reinterpret_cast<uintptr_t>(storage), bytes, 0, ParameterMode::kBlock);
}

RegistryNode* RegisterConstant32(ProbeRegistry& registry, uint32_t value, const char* name)
{
    return RegisterParameter(registry, name, value, 0, kElementKindFloat, ParameterMode::kConstant32);
}

RegistryNode* RegisterConstant16(ProbeRegistry& registry, uint16_t value, const char* name)
{
    return RegisterParameter(registry, name, value, 0, kElementKindShort, ParameterMode::kConstant16);
}

RegistryNode* FindParameter(const ProbeRegistry& registry, const char* name)
{
    return FindNamed<NamedParameter>(registry.Parameters(), name);
}

int GetParameter(RegistryNode* parameterNode, void* destination)
{
    const NamedParameter* const parameter = ParameterOf(parameterNode);
    if (parameter == nullptr || destination == nullptr)
        return 1;
    auto* const storage = reinterpret_cast<const void*>(parameter->value);
    switch (parameter->mode) {
    case ParameterMode::kField:
        return ConvertElements(destination, storage, parameter->kind, 1);
    case ParameterMode::kConstant32: {
        const auto value = static_cast<uint32_t>(parameter->value);
        std::memcpy(destination, &value, sizeof value);
        return 0;
    }
    case ParameterMode::kConstant16: {
        const auto value = static_cast<uint16_t>(parameter->value);
        std::memcpy(destination, &value, sizeof value);
        return 0;
    }
    case ParameterMode::kArray:
    case ParameterMode::kReadOnlyArray:
        return ConvertElements(destination, storage, parameter->kind, parameter->count);
    case ParameterMode::kBlock:
        std::memcpy(destination, storage, parameter->count);
        return 0;
    }
    return 0; // a mode above 5 is neither read nor written
}

int SetParameter(RegistryNode* parameterNode, const void* source)
{
    const NamedParameter* const parameter = ParameterOf(parameterNode);
    if (parameter == nullptr || source == nullptr)
        return 1;
    auto* const storage = reinterpret_cast<void*>(parameter->value);
    switch (parameter->mode) {
    case ParameterMode::kField:
        return ConvertElements(storage, source, parameter->kind, 1);
    case ParameterMode::kArray:
        return ConvertElements(storage, source, parameter->kind, parameter->count);
    case ParameterMode::kBlock:
        std::memcpy(storage, source, parameter->count);
        return 0;
    case ParameterMode::kConstant32:
    case ParameterMode::kConstant16:
    case ParameterMode::kReadOnlyArray:
        return 1;
    }
    return 0;
}

int ConvertElements(void* destination, const void* source, uint32_t kind, uint32_t count)
{
    if (!IsKnownKind(kind))
        return 1;
    if (count > 0)
        std::memmove(destination, source, size_t{count} * KindBytes(kind));
    return 0;
}

} // namespace sound
