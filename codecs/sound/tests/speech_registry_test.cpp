#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "codecs/sound/speech/probe_registry.h"
#include "codecs/sound/speech/registry_list.h"
#include "codecs/sound/tests/tonalwave_allocation_probe.h"

using namespace sound;

namespace {

// What the hooks of a test saw, in order: (context, probe) per call.
struct CallLog {
    std::vector<uintptr_t> contexts;
    std::vector<RegistryNode*> handles;
};
CallLog* g_log = nullptr;

void Record(uintptr_t context, RegistryNode* handle)
{
    g_log->contexts.push_back(context);
    g_log->handles.push_back(handle);
}

struct Registry {
    std::unique_ptr<ProbeRegistry> registry = CreateProbeRegistry();
    CallLog log;
    Registry() { g_log = &log; }
    ~Registry() { g_log = nullptr; }
};

std::vector<void*> DataOf(const RegistryList& list, int direction)
{
    std::vector<void*> data;
    for (RegistryNode* node = direction == kListForward ? ListFirst(list) : ListLast(list); node != nullptr;
         node = ListStep(node, direction))
        data.push_back(NodeData(node));
    return data;
}

} // namespace

TEST(SpeechRegistryList, InsertsBothWaysAndKeepsEndsLinked)
{
    std::unique_ptr<RegistryList> list = ListCreate();
    ASSERT_NE(list, nullptr);
    int a = 0, b = 0, c = 0, d = 0;
    RegistryNode* const nodeA = ListAppend(*list, &a, kListForward);
    ListAppend(*list, &b, kListForward);
    ListAppend(*list, &c, 0); // before the first
    ListInsert(*list, nodeA, &d, kListForward);
    EXPECT_EQ(DataOf(*list, kListForward), (std::vector<void*>{&c, &a, &d, &b}));
    EXPECT_EQ(DataOf(*list, 0), (std::vector<void*>{&b, &d, &a, &c}));
    EXPECT_EQ(ListFind(*list, &d, kListForward), nodeA->next);
    EXPECT_EQ(ListFind(*list, &d, 0), nodeA->next);
    int missing = 0;
    EXPECT_EQ(ListFind(*list, &missing, kListForward), nullptr);

    ListRemove(*list, ListFirst(*list));
    ListRemove(*list, ListLast(*list));
    EXPECT_EQ(DataOf(*list, kListForward), (std::vector<void*>{&a, &d}));
    EXPECT_EQ(ListFirst(*list)->previous, nullptr);
    EXPECT_EQ(ListLast(*list)->next, nullptr);
    ListRemove(*list, ListFirst(*list));
    ListRemove(*list, ListFirst(*list));
    EXPECT_EQ(ListFirst(*list), nullptr);
    EXPECT_EQ(ListLast(*list), nullptr);
    ListFree(list);
    EXPECT_EQ(list, nullptr);
}

TEST(SpeechRegistryList, DataWordsHoldWholePointers)
{
    std::unique_ptr<RegistryList> list = ListCreate();
    // A value above 4 GiB survives: the word is pointer-sized.
    void* const high = reinterpret_cast<void*>(uintptr_t{0x7FFF12345678});
    RegistryNode* const node = ListAppend(*list, high, kListForward);
    EXPECT_EQ(NodeData(node), high);
    SetNodeData(node, nullptr);
    EXPECT_EQ(NodeData(node), nullptr);
    list->first = list->last = nullptr;
    ListFreeChain(node);
}

TEST(SpeechRegistryProbes, HooksRunByPriorityThenAttachOrder)
{
    Registry r;
    RegistryNode* const probe = RegisterProbe(*r.registry, "post encode");
    RegistryNode* const low = RegisterHook(*r.registry, "low", Record, nullptr, 5);
    RegistryNode* const high = RegisterHook(*r.registry, "high", Record, nullptr, 9);
    RegistryNode* const tieA = RegisterHook(*r.registry, "tie a", Record, nullptr, 71);
    RegistryNode* const tieB = RegisterHook(*r.registry, "tie b", Record, nullptr, 72);
    ASSERT_EQ(AttachHook(probe, low, 5), 0);
    ASSERT_EQ(AttachHook(probe, high, 9), 0);
    ASSERT_EQ(AttachHook(probe, tieA, 7), 0);
    ASSERT_EQ(AttachHook(probe, tieB, 7), 0);
    EXPECT_EQ(FireProbe(probe), 0);
    EXPECT_EQ(r.log.contexts, (std::vector<uintptr_t>{9, 71, 72, 5}));
    EXPECT_EQ(r.log.handles, (std::vector<RegistryNode*>(4, probe)));
}

TEST(SpeechRegistryProbes, DisabledHookIsSkippedAndDisabledProbeCallsNothing)
{
    Registry r;
    RegistryNode* const probe = RegisterProbe(*r.registry, "pre decode");
    RegistryNode* const first = RegisterHook(*r.registry, "first", Record, nullptr, 1);
    RegistryNode* const second = RegisterHook(*r.registry, "second", Record, nullptr, 2);
    AttachHook(probe, first, 3);
    AttachHook(probe, second, 3);
    EXPECT_EQ(DisableHook(first), 0);
    EXPECT_EQ(FireProbe(probe), 0);
    EXPECT_EQ(r.log.contexts, (std::vector<uintptr_t>{2}));

    EXPECT_EQ(EnableHook(first), 0);
    EXPECT_EQ(DisableProbe(probe), 0);
    EXPECT_EQ(FireProbe(probe), 1);
    EXPECT_EQ(FireProbe(nullptr), 1);
    EXPECT_EQ(r.log.contexts.size(), 1u);
    EXPECT_EQ(EnableProbe(probe), 0);
    EXPECT_EQ(FireProbe(probe), 0);
    EXPECT_EQ(r.log.contexts, (std::vector<uintptr_t>{2, 1, 2}));
    EXPECT_EQ(DisableProbe(nullptr), 1);
    EXPECT_EQ(EnableHook(nullptr), 1);
}

TEST(SpeechRegistryProbes, FindIsCaseSensitiveAndTakesTheFirst)
{
    Registry r;
    RegistryNode* const first = RegisterProbe(*r.registry, "post quan");
    RegisterProbe(*r.registry, "post quan");
    EXPECT_EQ(FindProbe(*r.registry, "post quan"), first);
    EXPECT_EQ(FindProbe(*r.registry, "Post Quan"), nullptr);
    RegistryNode* const hook = RegisterHook(*r.registry, "trace", Record, nullptr, 0);
    EXPECT_EQ(FindHook(*r.registry, "trace"), hook);
    EXPECT_EQ(FindHook(*r.registry, "none"), nullptr);
}

TEST(SpeechRegistryHooks, DeletingAProbeDetachesItsHooks)
{
    Registry r;
    RegistryNode* const doomed = RegisterProbe(*r.registry, "doomed");
    RegistryNode* const kept = RegisterProbe(*r.registry, "kept");
    RegistryNode* const hook = RegisterHook(*r.registry, "hook", Record, nullptr, 4);
    AttachHook(doomed, hook, 1);
    AttachHook(kept, hook, 1);
    EXPECT_EQ(DeleteProbe(*r.registry, doomed), 0);
    EXPECT_EQ(FindProbe(*r.registry, "doomed"), nullptr);
    // The hook keeps only its link to the other probe.
    ASSERT_NE(ListFirst(HookOf(hook)->links), nullptr);
    EXPECT_EQ(ListFirst(HookOf(hook)->links), ListLast(HookOf(hook)->links));
    EXPECT_EQ(FireProbe(kept), 0);
    EXPECT_EQ(r.log.contexts, (std::vector<uintptr_t>{4}));
}

namespace {
std::vector<std::pair<uintptr_t, RegistryNode*>>* g_released = nullptr;
void NoteRelease(uintptr_t context, RegistryNode* hook)
{
    g_released->push_back({context, hook});
}
} // namespace

TEST(SpeechRegistryHooks, DeletingAHookReleasesItWithItsContext)
{
    Registry r;
    std::vector<std::pair<uintptr_t, RegistryNode*>> released;
    g_released = &released;
    const auto context = reinterpret_cast<uintptr_t>(&released);
    RegistryNode* const probe = RegisterProbe(*r.registry, "probe");
    RegistryNode* const hook = RegisterHook(*r.registry, "hook", Record, NoteRelease, context);
    AttachHook(probe, hook, 2);
    EXPECT_EQ(DeleteHook(*r.registry, hook), 0);
    ASSERT_EQ(released.size(), 1u);
    EXPECT_EQ(released[0].first, context);
    EXPECT_EQ(released[0].second, hook);
    EXPECT_EQ(ListFirst(ProbeOf(probe)->links), nullptr);
    EXPECT_EQ(FireProbe(probe), 0);
    EXPECT_TRUE(r.log.contexts.empty());
    g_released = nullptr;
}

TEST(SpeechRegistryHooks, DetachOfAnUnlinkedPairFails)
{
    Registry r;
    RegistryNode* const probe = RegisterProbe(*r.registry, "probe");
    RegistryNode* const other = RegisterProbe(*r.registry, "other");
    RegistryNode* const hook = RegisterHook(*r.registry, "hook", Record, nullptr, 0);
    EXPECT_EQ(DetachHook(probe, hook), 1);
    AttachHook(other, hook, 1);
    EXPECT_EQ(DetachHook(probe, hook), 1);
    EXPECT_EQ(DetachHook(other, hook), 0);
    EXPECT_EQ(DetachHook(other, hook), 1);
    EXPECT_EQ(DetachHook(nullptr, hook), 1);
}

TEST(SpeechRegistryHooks, AHookOfAnotherRegistryDoesNotHangProbeDeletion)
{
    Registry r;
    std::unique_ptr<ProbeRegistry> foreign = CreateProbeRegistry();
    RegistryNode* const probe = RegisterProbe(*r.registry, "probe");
    RegistryNode* const stranger = RegisterHook(*foreign, "stranger", Record, nullptr, 0);
    RegistryNode* const local = RegisterHook(*r.registry, "local", Record, nullptr, 0);
    AttachHook(probe, stranger, 3);
    AttachHook(probe, local, 2);
    EXPECT_EQ(DeleteProbe(*r.registry, probe), 0);
    EXPECT_EQ(ListFirst(HookOf(stranger)->links), nullptr);
    EXPECT_EQ(ListFirst(HookOf(local)->links), nullptr);
}

TEST(SpeechRegistryHooks, CallbackAndContextAccessors)
{
    Registry r;
    RegistryNode* const hook = RegisterHook(*r.registry, "hook", nullptr, nullptr, 1);
    EXPECT_EQ(GetHookCallback(hook), nullptr);
    EXPECT_EQ(SetHookCallback(hook, Record), 0);
    EXPECT_EQ(GetHookCallback(hook), &Record);
    const uintptr_t wide = uintptr_t{0x7FFF00001234};
    EXPECT_EQ(SetHookContext(hook, wide), 0);
    EXPECT_EQ(GetHookContext(hook), wide);
    EXPECT_EQ(GetHookContext(nullptr), 0u);
    EXPECT_EQ(GetHookCallback(nullptr), nullptr);
    EXPECT_EQ(SetHookContext(nullptr, 1), 1);
    EXPECT_EQ(SetHookCallback(nullptr, Record), 1);
}

TEST(SpeechRegistryOperations, TableSlotsReachTheOperations)
{
    Registry r;
    const ProbeRegistryOperations& ops = r.registry->Operations();
    RegistryNode* const probe = ops.registerProbe(*r.registry, "slot probe");
    RegistryNode* const hook = ops.registerHook(*r.registry, "slot hook", Record, nullptr, 6);
    EXPECT_EQ(ops.findProbe(*r.registry, "slot probe"), probe);
    EXPECT_EQ(ops.attachHook(probe, hook, 1), 0);
    EXPECT_EQ(ops.fireProbe(probe), 0);
    EXPECT_EQ(r.log.contexts, (std::vector<uintptr_t>{6}));
    ops.reserved6();
    ops.reserved18();
    ops.reserved29();
    EXPECT_EQ(ops.deleteProbe(*r.registry, probe), 0);
    EXPECT_EQ(ops.findProbe(*r.registry, "slot probe"), nullptr);
    EXPECT_EQ(ops.registerConstant16(*r.registry, 180, "frame length") != nullptr, true);
}

TEST(SpeechRegistryParameters, ConstantsAreReadOnlyAndKeepTheirWidth)
{
    Registry r;
    RegistryNode* const rate = RegisterConstant16(*r.registry, 8000, "rate");
    RegistryNode* const wide = RegisterConstant32(*r.registry, 0x40490FDB, "pi bits");
    uint8_t out[8];
    std::memset(out, 0xAB, sizeof out);
    EXPECT_EQ(GetParameter(rate, out), 0);
    uint16_t value16 = 0;
    std::memcpy(&value16, out, 2);
    EXPECT_EQ(value16, 8000);
    EXPECT_EQ(out[2], 0xAB); // 16 bits only
    std::memset(out, 0xAB, sizeof out);
    EXPECT_EQ(GetParameter(wide, out), 0);
    uint32_t value32 = 0;
    std::memcpy(&value32, out, 4);
    EXPECT_EQ(value32, 0x40490FDBu);
    EXPECT_EQ(out[4], 0xAB);

    const uint16_t attempt = 11025;
    EXPECT_EQ(SetParameter(rate, &attempt), 1);
    EXPECT_EQ(SetParameter(wide, &attempt), 1);
    EXPECT_EQ(GetParameter(rate, &value16), 0);
    EXPECT_EQ(value16, 8000);
}

TEST(SpeechRegistryParameters, ModesConvertTheRightWidths)
{
    Registry r;
    float pv = 0.25f;
    int16_t shorts[3] = {1, 2, 3};
    uint8_t flag = 1;
    double wide[2] = {1.5, -2.5};
    uint8_t block[5] = {1, 2, 3, 4, 5};
    float readOnly[2] = {7.0f, 8.0f};
    RegistryNode* const field = RegisterFieldParameter(*r.registry, &pv, kElementKindFloat, "pv");
    RegistryNode* const array = RegisterArrayParameter(*r.registry, shorts, 4, 3, "shorts");
    RegistryNode* const byte = RegisterFieldParameter(*r.registry, &flag, kElementKindBytes, "write flag");
    RegistryNode* const eight = RegisterArrayParameter(*r.registry, wide, 10, 2, "wide");
    RegistryNode* const bytes = RegisterBlockParameter(*r.registry, block, 5, "block");
    RegistryNode* const fixed = RegisterReadOnlyArrayParameter(*r.registry, readOnly, kElementKindFloat, 2, "fixed");

    const float newPv = 0.75f;
    EXPECT_EQ(SetParameter(field, &newPv), 0);
    EXPECT_EQ(pv, 0.75f);
    float readPv = 0.0f;
    EXPECT_EQ(GetParameter(field, &readPv), 0);
    EXPECT_EQ(readPv, 0.75f);

    const int16_t newShorts[3] = {-4, 5, -6};
    EXPECT_EQ(SetParameter(array, newShorts), 0);
    EXPECT_EQ(shorts[2], -6);
    int16_t readShorts[4] = {0, 0, 0, 99};
    EXPECT_EQ(GetParameter(array, readShorts), 0);
    EXPECT_EQ(readShorts[0], -4);
    EXPECT_EQ(readShorts[3], 99);

    uint8_t readFlag[2] = {0, 0x5A};
    EXPECT_EQ(GetParameter(byte, readFlag), 0);
    EXPECT_EQ(readFlag[0], 1);
    EXPECT_EQ(readFlag[1], 0x5A);

    double readWide[2] = {};
    EXPECT_EQ(GetParameter(eight, readWide), 0);
    EXPECT_EQ(readWide[1], -2.5);

    uint8_t readBlock[5] = {};
    EXPECT_EQ(GetParameter(bytes, readBlock), 0);
    EXPECT_EQ(readBlock[4], 5);
    const uint8_t newBlock[5] = {9, 9, 9, 9, 9};
    EXPECT_EQ(SetParameter(bytes, newBlock), 0);
    EXPECT_EQ(block[0], 9);

    float readFixed[2] = {};
    EXPECT_EQ(GetParameter(fixed, readFixed), 0);
    EXPECT_EQ(readFixed[1], 8.0f);
    const float newFixed[2] = {0.0f, 0.0f};
    EXPECT_EQ(SetParameter(fixed, newFixed), 1);
    EXPECT_EQ(readOnly[0], 7.0f);
    EXPECT_EQ(FindParameter(*r.registry, "wide"), eight);
}

TEST(SpeechRegistryParameters, UnknownKindsAndNullsAreRefused)
{
    Registry r;
    float storage = 3.0f;
    RegistryNode* const bad = RegisterFieldParameter(*r.registry, &storage, 11, "kind eleven");
    RegistryNode* const none = RegisterFieldParameter(*r.registry, &storage, 0, "kind zero");
    float out = 0.0f;
    EXPECT_EQ(GetParameter(bad, &out), 1);
    EXPECT_EQ(GetParameter(none, &out), 1);
    EXPECT_EQ(SetParameter(bad, &out), 1);
    EXPECT_EQ(storage, 3.0f);
    EXPECT_EQ(GetParameter(nullptr, &out), 1);
    EXPECT_EQ(SetParameter(nullptr, &out), 1);
    EXPECT_EQ(ConvertElements(&out, &storage, 11, 1), 1);
    EXPECT_EQ(ConvertElements(&out, &storage, 9, 1), 0);
    EXPECT_EQ(out, 3.0f);
    // A stored pointer above 4 GiB would have been cut by a 32-bit word.
    EXPECT_EQ(ParameterOf(FindParameter(*r.registry, "kind zero"))->value, reinterpret_cast<uintptr_t>(&storage));
    EXPECT_EQ(DeleteParameter(*r.registry, none), 0);
    EXPECT_EQ(FindParameter(*r.registry, "kind zero"), nullptr);
}

TEST(SpeechRegistryParameters, FailedRegistrationsLeaveTheListsWhole)
{
    if (!soundtest::CanFailAllocations())
        GTEST_SKIP() << "this test program's operator new cannot be made to fail";
    Registry r;
    float storage = 0.0f;
    size_t made = 0;
    for (int64_t k = 1; k <= 6; ++k) {
        SCOPED_TRACE(k);
        soundtest::ResetAllocationCount();
        soundtest::FailAllocationNumber(k);
        RegistryNode* const probe = RegisterProbe(*r.registry, "a probe with a name too long for small strings");
        RegistryNode* const hook =
            RegisterHook(*r.registry, "a hook with a name too long for small strings", Record, nullptr, 0);
        RegistryNode* const parameter =
            RegisterFieldParameter(*r.registry, &storage, kElementKindFloat, "a parameter named at length too");
        const int attached = probe != nullptr && hook != nullptr ? AttachHook(probe, hook, 1) : 1;
        soundtest::ResetAllocationCount();
        made += (probe != nullptr) + (hook != nullptr) + (parameter != nullptr);
        EXPECT_TRUE(probe == nullptr || hook == nullptr || attached == 0 ||
                    ListFirst(ProbeOf(probe)->links) == nullptr);
    }
    // Every list still reads the same both ways and holds exactly what was made.
    const size_t listed = DataOf(r.registry->Probes(), kListForward).size() +
                          DataOf(r.registry->Hooks(), kListForward).size() +
                          DataOf(r.registry->Parameters(), kListForward).size();
    EXPECT_EQ(listed, made);
    EXPECT_EQ(DataOf(r.registry->Probes(), 0).size(), DataOf(r.registry->Probes(), kListForward).size());
    EXPECT_EQ(DataOf(r.registry->Hooks(), 0).size(), DataOf(r.registry->Hooks(), kListForward).size());
    EXPECT_LT(made, 18u);
}
