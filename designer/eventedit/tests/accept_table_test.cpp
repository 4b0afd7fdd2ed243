// The accept rules of map objects, every action kind and event type against every kind of dragged thing, compared
// with the table as the map's users know it.
#include <memory>
#include <string>
#include <vector>

#include "designer/app/extended_world.h"
#include "designer/eventedit/tests/eventedit_fixture.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/core/node.h"

namespace eventedittest {
namespace {

using AcceptTable = EventEditFixture;

enum class Dragged {
    kObjectNode,
    kParticles,
    kHotspot,
    kGroup,
    kRoot,
    kMesh,
    kCamera,
    kSound,
    kExpression,
    kCursor,
    kMaterial,
    kLoadedWorld,
    kAction,
    kQueueAction,
    kActionKindItem,
    kQueueKindItem,
    kEvent,
    kEventTypeItem,
    kJavaMethod,
    kCount,
};

bool IsNode(Dragged d)
{
    return d <= Dragged::kCamera;
}

// Node flags of the sample's nodes: object 1, particles 1 (kind code 4), hot spot 2, group 4, root 16, mesh 32
// (an object node too), camera 64 (an object node too).
bool NodeWith(Dragged d, int flags)
{
    const int of[] = {1, 1, 2, 4, 16, 32 | 1, 64 | 1};
    return IsNode(d) && (of[static_cast<int>(d)] & flags) != 0;
}

bool In(int k, std::initializer_list<int> list)
{
    for (const int v : list)
        if (v == k)
            return true;
    return false;
}

bool ExpectedOnAction(int kind, Dragged d)
{
    const bool actionLike = d == Dragged::kAction || d == Dragged::kQueueAction || d == Dragged::kActionKindItem ||
                            d == Dragged::kQueueKindItem || d == Dragged::kJavaMethod;
    if (In(kind, {2, 3, 4, 26, 27, 28, 29, 32, 33, 34, 41, 42, 43, 44, 45, 46, 47, 52, 53, 60, 62, 63, 64}))
        return NodeWith(d, 1 | 4);
    if (In(kind, {5, 37, 61}))
        return NodeWith(d, 64);
    if (In(kind, {7, 8}))
        return d == Dragged::kSound;
    if (In(kind, {11, 12, 13, 14, 15, 38}))
        return d == Dragged::kEvent || d == Dragged::kEventTypeItem;
    if (In(kind, {21, 22}))
        return IsNode(d);
    if (In(kind, {24, 35}))
        return d == Dragged::kExpression;
    if (In(kind, {25, 30}))
        return actionLike;
    if (kind == 31)
        return d == Dragged::kQueueKindItem || d == Dragged::kQueueAction;
    if (kind == 39)
        return d == Dragged::kCursor;
    if (In(kind, {48, 49}))
        return d == Dragged::kParticles;
    if (In(kind, {50, 51}))
        return NodeWith(d, 4 | 32);
    if (In(kind, {54, 55, 56}))
        return d == Dragged::kLoadedWorld;
    if (In(kind, {57, 58}))
        return NodeWith(d, 2);
    if (kind == 59)
        return d == Dragged::kMaterial;
    return false;
}

bool ExpectedOnEvent(uint32_t type, Dragged d)
{
    if (d == Dragged::kAction || d == Dragged::kQueueAction || d == Dragged::kActionKindItem ||
        d == Dragged::kQueueKindItem || d == Dragged::kJavaMethod)
        return true;
    if (type == 5 || type == 6 || type == 7 || type == 15)
        return NodeWith(d, 2 | 4 | 32);
    if (type == 16)
        return NodeWith(d, 1 | 4);
    return type == 17 && d == Dragged::kSound;
}

TEST_F(AcceptTable, EveryActionKindAndEventTypeTakesWhatTheTableSays)
{
    CVTND_JavaMethod method{"run", nullptr};
    SWactionnode* queueAction = sample->queue;
    SWnode* nodes[] = {sample->object, sample->particles, sample->hotspot, sample->group, sample->world.GetRootNode(),
                       sample->mesh,   sample->camera};
    std::vector<std::unique_ptr<UIObject>> dragged;
    for (int d = 0; d < static_cast<int>(Dragged::kCount); ++d) {
        auto item = std::make_unique<UIObject>();
        switch (static_cast<Dragged>(d)) {
        case Dragged::kSound:
            item->SetSound(sample->sound);
            break;
        case Dragged::kExpression:
            item->SetExpression(sample->expression);
            break;
        case Dragged::kCursor:
            item->SetKind1000(sample->cursor);
            break;
        case Dragged::kMaterial:
            item->SetKind4000(sample->material);
            break;
        case Dragged::kLoadedWorld:
            item->SetWorld(sample->loadedWorld);
            break;
        case Dragged::kAction:
            item->SetAction(sample->thenFollower);
            break;
        case Dragged::kQueueAction:
            item->SetAction(queueAction);
            break;
        case Dragged::kActionKindItem:
            item->SetActionType(sample->Kind(2));
            break;
        case Dragged::kQueueKindItem:
            item->SetActionType(sample->Kind(30));
            break;
        case Dragged::kEvent:
            item->SetEvent(sample->key);
            break;
        case Dragged::kEventTypeItem:
            item->SetEventType(4);
            break;
        case Dragged::kJavaMethod:
            item->SetJavaMethod(&method);
            break;
        default:
            item->SetNode(nodes[d]);
            break;
        }
        dragged.push_back(std::move(item));
    }
    SWevent* holder = sample->world.AddEventOfType(3);
    for (int kind = 0; kind <= 65; ++kind) {
        MapObject* target = engine->AddAction(sample->AddAction(*holder, kind));
        for (int d = 0; d < static_cast<int>(Dragged::kCount); ++d) {
            SCOPED_TRACE("action kind " + std::to_string(kind) + ", dragged " + std::to_string(d));
            EXPECT_EQ(target->CanAccept(dragged[d].get()), ExpectedOnAction(kind, static_cast<Dragged>(d)));
        }
    }
    for (uint32_t type = 0; type < 22; ++type) {
        MapObject* target = engine->AddEvent(sample->world.AddEventOfType(type));
        for (int d = 0; d < static_cast<int>(Dragged::kCount); ++d) {
            SCOPED_TRACE("event type " + std::to_string(type) + ", dragged " + std::to_string(d));
            EXPECT_EQ(target->CanAccept(dragged[d].get()), ExpectedOnEvent(type, static_cast<Dragged>(d)));
        }
    }
    // Things that are not events or actions take only their own kind, and that changes nothing.
    MapObject* others[] = {engine->AddSound(sample->otherSound), engine->AddExpression(sample->otherExpression),
                           engine->AddKind1000(sample->cursor),  engine->AddKind4000(sample->material),
                           engine->AddNode(sample->otherObject), engine->AddWorld(sample->loadedWorld)};
    const Dragged own[] = {Dragged::kSound,    Dragged::kExpression, Dragged::kCursor,
                           Dragged::kMaterial, Dragged::kCount,      Dragged::kCount};
    for (size_t i = 0; i < std::size(others); ++i) {
        for (int d = 0; d < static_cast<int>(Dragged::kCount); ++d) {
            SCOPED_TRACE("content " + std::to_string(i) + ", dragged " + std::to_string(d));
            EXPECT_EQ(others[i]->CanAccept(dragged[d].get()), static_cast<Dragged>(d) == own[i]);
        }
    }
    // The masks see the whole kind word: a refuse mask sharing a role bit wins over the accept mask.
    UIObject property;
    property.SetContent(EdKind::kProperty, sample->object);
    EXPECT_TRUE(others[0]->Accepts(*dragged[static_cast<int>(Dragged::kSound)]));
    others[0]->refuseMask = EdKind::kPaletteObject;
    EXPECT_FALSE(others[0]->Accepts(*dragged[static_cast<int>(Dragged::kSound)]));
    EXPECT_EQ(property.GetSound(), nullptr); // a getter of another kind answers null though content is set
}

} // namespace
} // namespace eventedittest
