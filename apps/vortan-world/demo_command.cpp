// `vortan-world demo`: a sample world built in memory and printed: the node tree with its matrices, the events
// with their type data, the key table and every variable with its qualified name.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "apps/vortan-world/command_table.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/property.h"
#include "engine/core/camera_node.h"
#include "engine/core/hotspot.h"
#include "engine/core/java_class_node.h"
#include "engine/core/matrix.h"
#include "engine/core/mesh_node.h"
#include "engine/core/quaternion.h"
#include "engine/core/root_object.h"
#include "engine/core/type_tag.h"
#include "engine/core/typed_value_text.h"
#include "engine/core/world.h"
#include "engine/resources/mesh_object.h"
#include "engine/resources/sound.h"

namespace {

const char* const kTypeLetters[] = {"s:", "i:", "b:", "f:", "v:", "q:", "m:"};
const uint32_t kTypes[] = {kTypeString, kTypeInteger,    kTypeBoolean, kTypeFloat,
                           kTypeVector, kTypeQuaternion, kTypeMatrix};
const char* const kSampleValues[] = {
    "hello", "42", "1", "2.5", "1,2,3", "0,0.7071068,0,0.7071068", "1,0,0,1,0,1,0,2,0,0,1,3,0,0,0,1"};

// One variable of each type, named after its type letter and the owner's tag.
void AddEveryType(SWproperties2& list, const char* tag)
{
    for (size_t i = 0; i < 7; ++i) {
        auto v = std::make_unique<SWproperty>(kTypes[i]);
        v->SetName(std::string(tag) + "_" + std::string(kTypeLetters[i], 1));
        v->SetAllFromData(ParseTypedValueText(kSampleValues[i], kTypes[i]));
        list.AddVariable(std::move(v));
    }
}

std::string MatrixText(const SWmatrix& m)
{
    return TypedValueText(TypedValueData::OfMatrix(m));
}

SWmeshobject* MakeCube(SWworld& world)
{
    auto mesh = std::make_unique<SWmeshobject>();
    mesh->SetName("cube");
    std::vector<float> corners;
    for (int i = 0; i < 8; ++i)
        for (int axis = 0; axis < 3; ++axis)
            corners.push_back(((i >> axis) & 1) != 0 ? 0.5f : -0.5f);
    mesh->SetVertices(std::move(corners));
    return static_cast<SWmeshobject*>(world.GetRootObject()->AddGeometry(std::move(mesh)));
}

void BuildTree(SWworld& world)
{
    for (int i = 0; i < 2; ++i) {
        auto* object =
            static_cast<SWcameraobject*>(world.GetRootObject()->AddGeometry(std::make_unique<SWcameraobject>()));
        auto* camera = new SWcameranode(object);
        camera->SetName("camera" + std::to_string(i + 1));
        camera->SetLocalMatrix(SWmatrix::Translation(0.0f, 1.0f, -10.0f * static_cast<float>(i + 1)));
        world.AddNode(camera, nullptr);
        world.AddCamera(camera);
    }
    auto* group = new SWnode(SWnode::kKindGroup);
    group->SetName(std::string("group"));
    world.AddNode(group, nullptr);
    auto* holder = new SWobjectnode();
    holder->SetName(std::string("holder"));
    holder->SetLocalMatrix(SWmatrix::Rotation(0.5f, 1));
    world.AddNode(holder, nullptr);
    auto* cube = new SWmeshnode(MakeCube(world));
    cube->SetName(std::string("cube"));
    cube->SetLocalMatrix(SWmatrix::Translation(2, 0, 0));
    world.AddNode(cube, holder);
    group->AddGroupMember(cube);
    auto* hotspot = new SWhotspot();
    hotspot->SetName(std::string("hotspot"));
    hotspot->SetRect({0.1f, 0.1f, 0.3f, 0.2f});
    world.AddNode(hotspot, nullptr);
    AddEveryType(*cube, "cube");
    AddEveryType(*holder, "holder");
    world.UpdateNodeTransforms(world.GetRootNode(), 1);
}

void BuildEvents(SWworld& world)
{
    for (uint32_t type = 0; type < kEventTypeCount; ++type) {
        SWevent* event = world.AddEventOfType(type);
        event->SetName("event" + std::to_string(type));
        event->SetTimerInterval(500.0f);
        event->AddObjectName(std::string("cube"));
        event->SetSequenceMode(1);
        event->AddSoundName(std::string("chime"));
        event->SetWatchedVariableName(std::string("NODE:cube.cube_i"));
        event->AddKey(world.GetKeyTable().FindKeyByName("Space"));
        event->AddKey(world.GetKeyTable().FindKeyByName("a"));
        if (event->GetTaggedNameList() != nullptr)
            event->GetTaggedNameList()->AddName(std::string("level2.vto"));
        auto* action = new SWactionnode(11); // a trigger naming the next event
        action->SetActionId(world.NextActionId());
        const std::string next = "event" + std::to_string((type + 1) % kEventTypeCount);
        action->AddArgument(next.c_str(), SWdatanode::kString, true);
        event->AppendAction(action);
    }
    AddEveryType(*world.GetFirstEvent(), "event0");
}

void PrintTree(const SWworld& world)
{
    std::printf("nodes\n");
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode())) {
        int depth = 0;
        for (SWnode* p = n->GetParentNode(); p != nullptr; p = p->GetParentNode())
            ++depth;
        std::printf("%*snode id=%u kind=%u name=%s\n", depth * 2, "", n->GetId(), n->GetKindFlags(),
                    n->GetName().value_or("(none)").c_str());
        if (const auto* object = dynamic_cast<const SWobjectnode*>(n)) {
            std::printf("%*s  local %s\n", depth * 2, "", MatrixText(object->GetLocalMatrix()).c_str());
            std::printf("%*s  world %s\n", depth * 2, "", MatrixText(object->GetWorldMatrix()).c_str());
        }
    }
}

void PrintEvents(const SWworld& world)
{
    std::printf("events\n");
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        const char* typeName = world.GetEventTypeName(e->GetType());
        std::printf("event id=%u type=%u (%s) name=%s actions=%zu\n", e->GetId(), e->GetType(),
                    typeName != nullptr ? typeName : "hidden", e->GetName().value_or("").c_str(), e->CountActions());
        if (e->GetType() == 4)
            std::printf("  timer interval=%.1f\n", static_cast<double>(e->GetTimerInterval()));
        if (const SWlist* objects = e->GetObjectList())
            for (SWlistnode* o = objects->Head(); o != nullptr; o = o->Next())
                std::printf("  object %s sequence=%u\n", static_cast<SWobjectnameentry*>(o)->name.value_or("").c_str(),
                            e->GetSequenceMode());
        if (const SWlist* sounds = e->GetSoundList())
            for (SWlistnode* s = sounds->Head(); s != nullptr; s = s->Next())
                std::printf("  sound %s\n", static_cast<SWnameentry*>(s)->name.value_or("").c_str());
        if (e->GetWatchedVariableName())
            std::printf("  watches %s\n", e->GetWatchedVariableName()->c_str());
        if (const SWlist* keys = e->GetKeyEntry())
            for (SWlistnode* k = keys->Head(); k != nullptr; k = k->Next())
                std::printf("  key %s\n", static_cast<SWkeyreference*>(k)->key->GetName().c_str());
        if (const SWtaggednamelist* tagged = e->GetTaggedNameList())
            for (SWlistnode* t = tagged->Head(); t != nullptr; t = t->Next())
                std::printf("  %s %s\n", TagText(tagged->GetTag()).c_str(),
                            static_cast<SWnameentry*>(t)->name.value_or("").c_str());
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a))
            std::printf("  action id=%u kind=%d argument=%s\n", a->GetActionId(), a->GetKindId(),
                        static_cast<SWdatanode*>(a->GetArguments().Head())->GetText());
    }
}

void PrintKeys(SWworld& world)
{
    std::printf("keys %zu\n", world.GetKeyTable().Count());
    for (const SWkeyentry* k = world.GetKeyTable().GetFirst(); k != nullptr; k = SWkeytable::GetNext(k)) {
        std::string text = k->GetText();
        if (text.size() == 1 && static_cast<unsigned char>(text[0]) < 32) { // a control character, shown as its code
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(text[0]));
            text = escaped;
        }
        std::printf("key %d %s text=%s\n", k->GetCode(), k->GetName().c_str(), text.c_str());
    }
}

void PrintList(const SWworld& world, const SWproperties2& list, const std::string& owner)
{
    for (SWproperty* v = list.GetFirstVariable(); v != nullptr; v = SWproperties2::GetNextVariable(v)) {
        const std::string name = world.GetQualifiedName(*v).value_or(owner + v->GetName().value_or(""));
        std::printf("variable %s id=%u type=%u flags=%u value=%s\n", name.c_str(), v->GetId(), v->GetType(),
                    v->GetFlags(), TypedValueText(v->GetCurrentData()).c_str());
    }
}

void PrintVariables(SWworld& world)
{
    std::printf("variables\n");
    PrintList(world, world.GetVariables(), "WORLD:");
    for (SWevent* e = world.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        PrintList(world, *e, "EVENT:" + e->GetName().value_or("") + ".");
    for (SWnode* n = world.GetRootNode(); n != nullptr; n = n->NextInTree(world.GetRootNode()))
        PrintList(world, *n, "");
    for (SWsound* s = world.GetSoundList().GetFirst(); s != nullptr; s = world.GetSoundList().GetNext(s))
        if (const SWproperties2* list = world.FindSoundVariables(*s))
            PrintList(world, *list, "");
    for (SWlistnode* j = world.GetJavaClasses().Head(); j != nullptr; j = j->Next())
        PrintList(world, *static_cast<SWjavaclassnode*>(j), "");
}

int RunDemo(std::span<char* const> args)
{
    if (!args.empty()) {
        std::fprintf(stderr, "usage: vortan-world demo\n");
        return kWorldToolUsage;
    }
    SWworld world;
    BuildTree(world);
    SWsound* sound = world.GetSoundList().Add(std::make_unique<SWsound>("chime"));
    AddEveryType(world.GetSoundVariables(*sound), "chime");
    SWjavaclassnode* java = world.AddJavaClass(std::make_unique<SWjavaclassnode>("scores", "classes/Scores.class"));
    AddEveryType(*java, "scores");
    AddEveryType(world.GetVariables(), "world");
    BuildEvents(world);
    PrintTree(world);
    PrintEvents(world);
    PrintKeys(world);
    PrintVariables(world);
    return kWorldToolDone;
}

const bool kRegistered = RegisterWorldToolCommand({"demo", "", &RunDemo});

} // namespace
