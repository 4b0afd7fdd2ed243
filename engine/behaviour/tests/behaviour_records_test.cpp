// The events section of a world's file: every event type and action kind saved and read back to the same bytes,
// the older record forms, and damaged input that must end cleanly with what was read before the damage.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/behaviour_records.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/data_node.h"
#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/core/world_sections.h"
#include "engine/resources/picture.h"
#include "engine/resources/resource_report.h"

namespace {

using Fill = std::function<void(SWchunkstream&)>;

std::vector<uint8_t> Written(const Fill& fill, uint32_t version = 951)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        out.SetFormatVersion(version);
        fill(out);
    }
    return buffer.ToVector();
}

std::vector<uint8_t> Saved(const SWworld& world)
{
    return Written([&](SWchunkstream& out) { EXPECT_TRUE(world.SaveEvents(out)); });
}

bool Load(SWworld& world, const std::vector<uint8_t>& bytes, uint32_t version = 951, SWreadcontext* context = nullptr)
{
    SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
    in.SetFormatVersion(version);
    in.SetReadContext(context);
    return world.LoadEvents(in);
}

void Record(SWchunkstream& out, uint32_t tag, const Fill& fill)
{
    SWrecordbuilder record(out, tag);
    fill(record.Stream());
    record.Finish();
}

void PartA(SWchunkstream& out, uint32_t id)
{
    out.WriteU8(0);
    out.WriteU32(id);
    out.WriteU32(SWactionnode::kUnset);
    out.WriteU32(SWactionnode::kUnset);
    out.WriteU32(SWactionnode::kUnset);
    out.WriteU8(0);
}

void Delay(SWchunkstream& out, double ms)
{
    Record(out, MakeTag("7457"),
           [&](SWchunkstream& d) { Record(d, MakeTag("7458"), [&](SWchunkstream& v) { v.WriteF64(ms); }); });
}

// A section of one custom event (type 3) named name whose actions sub-stream actions writes.
std::vector<uint8_t> OneEvent(const Fill& actions, uint32_t version = 951, const char* name = "e", uint32_t counter = 0)
{
    return Written(
        [&](SWchunkstream& out) {
            out.WriteU32(counter);
            Record(out, MakeTag("7303"), [&](SWchunkstream& e) {
                Record(e, MakeTag("7399"), [&](SWchunkstream& f) {
                    f.WriteU32(0x1234);
                    f.WriteU8(1);
                    f.WriteU8(1);
                    f.WriteString(std::string_view(name));
                });
                Record(e, MakeTag("72AS"), actions);
            });
        },
        version);
}

SWactionnode* Add(SWevent& event, int32_t kind)
{
    SWworld* world = event.GetWorld()->AsWorld();
    return event.CreateAction(world->GetActionCategories().FindKind(kind));
}

void AddTextArguments(SWactionnode& action, std::initializer_list<const char*> texts)
{
    for (const char* text : texts)
        action.AddArgument(text, SWdatanode::kString, true);
}

std::vector<std::string> Texts(const SWactionnode& action)
{
    std::vector<std::string> texts;
    for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next()) {
        const char* text = static_cast<const SWdatanode*>(n)->GetText();
        texts.emplace_back(text != nullptr ? text : "<none>");
    }
    return texts;
}

// A world holding an event of every written type and an action of every kind its catalogue has, each with
// settings away from its defaults.
void BuildEverything(SWworld& world)
{
    const uint32_t types[] = {0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21};
    for (uint32_t type : types) {
        SWevent* e = world.AddEventOfType(type);
        e->SetName("event " + std::to_string(type));
        e->SetEnabled(type % 2 == 0);
        e->SetFlag(static_cast<uint8_t>(type % 3));
    }
    SWevent* e = world.GetFirstEvent();
    for (; e != nullptr; e = SWevents::GetNextEvent(e)) {
        switch (static_cast<EventType>(e->GetType())) {
        case EventType::kTimerEvent:
            e->SetTimerInterval(1500.7f);
            break;
        case EventType::kLeftClickObject:
            e->SetSequenceMode(1);
            e->AddObjectName(std::string("box"));
            e->AddObjectName(std::nullopt);
            break;
        case EventType::kMotionFinished:
            e->AddObjectName(std::string("walker"));
            break;
        case EventType::kSoundFinished:
            e->AddSoundName(std::string("ding"));
            break;
        case EventType::kPropertyChanged:
            e->SetWatchedVariableName(std::string("NODE:lamp.level"));
            e->SetWatchConstant(0x40490FDBu);
            e->SetWatchOption(0, 0);
            e->SetWatchOption(1, 3);
            break;
        case EventType::kKeyPressed:
            e->SetAllKeysFlag(1);
            e->AddKey(world.GetKeyTable().GetLetter('Q'));
            e->AddKey(world.GetKeyTable().GetLetter('W'));
            break;
        case EventType::kLoadFinished:
            e->GetTaggedNameList()->SetTag(MakeTag("ABCD"));
            e->GetTaggedNameList()->AddName(std::string("part.vtn"));
            break;
        default:
            break;
        }
    }
    SWevent* holder = world.GetFirstEvent();
    auto variable = std::make_unique<SWproperty>(1);
    variable->SetName(std::string("count"));
    holder->AddVariable(std::move(variable));

    SWexpressionentry* entry = SWexpressionlist::Of(world).Add(std::make_unique<SWexpression>(&world));
    const int32_t kinds[] = {1,  2,  3,  4,  5,  6,  7,  8,  10, 11, 12, 13, 14, 15, 19, 20, 21, 22,
                             23, 25, 26, 27, 28, 29, 30, 31, 32, 34, 35, 37, 38, 39, 40, 41, 42, 43,
                             44, 45, 46, 47, 48, 49, 50, 51, 53, 54, 55, 56, 58, 60, 63, 64};
    for (int32_t kind : kinds) {
        SWactionnode* a = Add(*holder, kind);
        if (a == nullptr)
            continue; // a kind this build's catalogue lacks
        a->SetDelay(kind * 10.5);
        a->SetWait(kind % 2);
        a->SetTargetIsTrigger(kind % 3 == 0 ? 1 : 0);
        if (a->GetArguments().Count() == 0 && kind != 35 && kind != 23 && kind != 39 && kind != 19)
            AddTextArguments(*a, {"first", "second"});
        if (auto* s = dynamic_cast<SWsoundaction*>(a))
            s->settings = {1, 300, 250, 900}; // a repeat count above a byte's
        if (auto* b = dynamic_cast<SWbackgroundaction*>(a)) {
            b->settings = {0.2f, 0.4f, 0.6f, 2};
            b->SetTextureName(std::string("sky"));
        }
        if (auto* v = dynamic_cast<SWvisibilityaction*>(a))
            v->settings.subtree = 1;
        if (auto* c = dynamic_cast<SWconditionaction*>(a)) {
            c->SetOperand1(holder->GetFirstVariable());
            c->settings.constant = 2.5f;
            c->settings.mask = 6;
            c->settings.changedOnly = 1;
        }
        if (auto* t = dynamic_cast<SWoldtranslationaction*>(a))
            t->settings = {1.0f, 2.0f, 3.0f, 700, 1};
        if (auto* r = dynamic_cast<SWoldrotationaction*>(a))
            r->settings = {CVTN_Quaternion(0.1f, 0.2f, 0.3f, 0.9f), 400, 1};
        if (auto* q = dynamic_cast<SWqueueaction*>(a))
            q->SetLoop(1);
        if (auto* sq = dynamic_cast<SWstopqueueaction*>(a))
            sq->AddId(7);
        if (auto* reset = dynamic_cast<SWresetaction*>(a))
            reset->settings = {0, 1, 0, 0};
        if (auto* st = dynamic_cast<SWstereoaction*>(a))
            st->settings = {3, 0, 0.1f, 0.2f, 7, 0.3f, 8, 0.4f, 0.5f, 0.6f, -9, 0.7f, 0.8f, 0.9f, 10, 11};
        if (auto* h = dynamic_cast<SWhostmessageaction*>(a))
            h->sendVariable = 1;
        if (auto* sm = dynamic_cast<SWstopmotionsaction*>(a)) {
            sm->AddTarget(3);
            sm->all = 1;
            sm->subtree = 0;
        }
        if (auto* p = dynamic_cast<SWparticleaction*>(a))
            p->opaque = {1, 2, 3, 4, 5, 6, 7, 8};
        if (auto* l = dynamic_cast<SWimportvtoactionnode*>(a)) {
            l->settings.fileName = "room.vto";
            l->settings.index = 4;
            l->settings.byte2 = 0;
            l->settings.placement[12] = 5.0f;
            l->settings.spare2 = 1;
        }
        if (auto* u = dynamic_cast<SWunloadworldaction*>(a))
            u->byte1 = 1;
        if (auto* w = dynamic_cast<SWshowworldaction*>(a))
            w->show = 0;
        if (auto* o = dynamic_cast<SWoldanimationaction*>(a)) {
            o->settings.loopForever = 1;
            o->settings.passCount = 3;
            o->settings.clipId = 9;
            o->settings.endFrame = 40;
            o->settings.durationSeconds = 2.5;
        }
        if (auto* j = dynamic_cast<SWoldjumpaction*>(a))
            j->settings = {1, 0, 12, 0.25, 5};
        if (auto* arc = dynamic_cast<SWoldarcballaction*>(a))
            arc->settings.values[5] = 42.0f;
        if (kind == 35)
            a->AddArgument(entry, SWdatanode::kObject, false);
        if (kind == 23)
            a->AddArgument("\x00", SWdatanode::kByte, true);
        if (kind == 39)
            static_cast<SWdatanode*>(a->GetArguments().Head())->SetInt(5);
    }
    // A background with a picture of its own, and one with a colour only.
    dynamic_cast<SWbackgroundaction&>(*Add(*holder, 19))
        .SetOwnPicture(std::make_unique<SWpicture>("painted", 8, 4, BackgroundGenerator::kRadial));
    Add(*holder, 19);
    SWactionnode* callback = holder->CreateHostCallbackAction(std::string("obj"), std::string("method"));
    callback->SetDelay(3.0);
}

TEST(BehaviourRecords, EveryEventTypeAndActionKindSavesAndLoadsBackToTheSameBytes)
{
    SWworld world;
    BuildEverything(world);
    const std::vector<uint8_t> first = Saved(world);

    SWworld again;
    // The expression list comes first, as in a world's file.
    const std::vector<uint8_t> expressions =
        Written([&](SWchunkstream& out) { EXPECT_TRUE(SWexpressionlist::Of(world).Save(out)); });
    SWchunkstream expressionsIn(std::span<const uint8_t>(expressions.data(), expressions.size()));
    ASSERT_TRUE(SWexpressionlist::Of(again).Load(expressionsIn));
    ASSERT_TRUE(Load(again, first));
    EXPECT_EQ(again.CountEvents(), world.CountEvents());
    EXPECT_EQ(again.GetFirstEvent()->CountActions(), world.GetFirstEvent()->CountActions());
    const std::vector<uint8_t> second = Saved(again);
    const auto differ = std::mismatch(first.begin(), first.end(), second.begin(), second.end());
    EXPECT_EQ(second, first) << "first difference at byte " << (differ.first - first.begin());

    // Fields worth seeing directly, beside the bytes.
    SWevent* timer = nullptr;
    SWevent* keys = nullptr;
    SWevent* watch = nullptr;
    for (SWevent* e = again.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e)) {
        timer = e->GetType() == 4 ? e : timer;
        keys = e->GetType() == 19 ? e : keys;
        watch = e->GetType() == 18 ? e : watch;
    }
    ASSERT_TRUE(timer && keys && watch);
    EXPECT_EQ(timer->GetTimerInterval(), 1500.0f);
    EXPECT_EQ(keys->GetKeyEntry()->Count(), 2u);
    EXPECT_EQ(watch->GetWatchedVariableName(), std::optional<std::string>("NODE:lamp.level"));
    EXPECT_EQ(watch->GetWatchConstant(), std::optional<uint32_t>(0x40490FDBu));
    EXPECT_EQ(watch->GetWatchOption(1), 3);
    const SWevent* holder = again.GetFirstEvent();
    EXPECT_EQ(holder->CountVariables(), 1u);
    for (const SWactionnode* a = holder->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
        SCOPED_TRACE(a->GetKindId());
        if (const auto* st = dynamic_cast<const SWstereoaction*>(a)) {
            const auto& s = st->settings;
            EXPECT_EQ(std::vector<float>({s.separation, s.value2, s.value3, s.value4, s.value5, s.value6, s.value7,
                                          s.value8, s.value9}),
                      std::vector<float>({0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f}));
            EXPECT_EQ(std::vector<int>({s.eye, s.stereoOn, s.byte3, s.byte4, s.byte5, s.byte6, s.int1}),
                      std::vector<int>({3, 0, 7, 8, 10, 11, -9}));
        }
        if (const auto* b = dynamic_cast<const SWbackgroundaction*>(a); b && b->GetOwnPicture()) {
            EXPECT_EQ(b->GetTexture(), b->GetOwnPicture());
            EXPECT_EQ(b->GetOwnPicture()->GetName(), "painted");
        }
        if (const auto* l = dynamic_cast<const SWimportvtoactionnode*>(a)) {
            EXPECT_EQ(l->settings.spare2, 1u);
            EXPECT_EQ(l->settings.placement[15], 1.0f);
            EXPECT_EQ(l->settings.placement[12], 5.0f);
        }
        if (a->GetKindId() == 35) {
            const auto* arg = static_cast<const SWdatanode*>(a->GetArguments().Head());
            ASSERT_NE(arg, nullptr);
            EXPECT_TRUE(SWexpressionlist::Of(again).Holds(arg->GetData(SWdatanode::kObject)));
        }
        if (a->GetKindId() == SWactionnode::kHostCallbackKind) {
            EXPECT_EQ(a->GetKind()->GetFirstText(), std::optional<std::string>("obj"));
            EXPECT_EQ(a->GetKind()->GetParameter(), std::optional<std::string>("method"));
            EXPECT_EQ(a->GetDelay(), 3.0);
        }
    }
}

TEST(BehaviourRecords, AWholeWorldFileKeepsItsBehaviourAndExpressionsThroughTwoSaves)
{
    SWworld world;
    BuildEverything(world);
    std::vector<uint8_t> first;
    ASSERT_EQ(WriteWorldFile(world, WorldFileMode::kScene, first), DocumentStatus::kOk);
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(first, file), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    WorldLoadResult loaded = ReadWorldFile(file, context);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    EXPECT_EQ(loaded.world->CountEvents(), world.CountEvents());
    // The kind-35 argument found its entry: "72EX" is read before "72ES".
    const SWexpressionlist* list = SWexpressionlist::Find(*loaded.world);
    ASSERT_NE(list, nullptr);
    bool found = false;
    for (const SWactionnode* a = loaded.world->GetFirstEvent()->GetFirstAction(); a != nullptr;
         a = SWevent::GetNextAction(a))
        if (a->GetKindId() == 35)
            found = list->Holds(static_cast<const SWdatanode*>(a->GetArguments().Head())->GetData(0));
    EXPECT_TRUE(found);
    std::vector<uint8_t> second;
    ASSERT_EQ(WriteWorldFile(*loaded.world, WorldFileMode::kScene, second), DocumentStatus::kOk);
    EXPECT_EQ(second, first);
}

// A file read to be merged takes fresh ids throughout, and the references among its records still agree: the
// condition's operand is the merged event's own variable, the expression action's argument the merged entry.
TEST(BehaviourRecords, AFileReadToMergeKeepsItsReferencesWithFreshIds)
{
    SWworld world;
    SWevent* e = world.NewEvent();
    e->SetName(std::string("mine"));
    auto owned = std::make_unique<SWproperty>(kTypeFloat);
    owned->SetName(std::string("level"));
    SWproperty* variable = e->AddVariable(std::move(owned));
    auto* condition = dynamic_cast<SWconditionaction*>(Add(*e, 25));
    condition->SetOperand1(variable);
    SWexpressionentry* entry = SWexpressionlist::Of(world).Add(std::make_unique<SWexpression>(&world));
    Add(*e, 35)->AddArgument(entry, SWdatanode::kObject, false);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(WriteWorldFile(world, WorldFileMode::kScene, bytes), DocumentStatus::kOk);

    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(bytes, file), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kFresh);
    WorldLoadResult merged = ReadWorldFile(file, context);
    ASSERT_EQ(merged.status, DocumentStatus::kOk);
    SWevent* copy = merged.world->GetFirstEvent();
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->GetId(), e->GetId());
    SWproperty* copiedVariable = copy->GetFirstVariable();
    ASSERT_NE(copiedVariable, nullptr);
    EXPECT_NE(copiedVariable->GetId(), variable->GetId());
    const auto* copiedCondition = dynamic_cast<const SWconditionaction*>(copy->GetFirstAction());
    ASSERT_NE(copiedCondition, nullptr);
    EXPECT_EQ(copiedCondition->settings.operand1Id, copiedVariable->GetId());
    const SWactionnode* expression = SWevent::GetNextAction(copy->GetFirstAction());
    const SWexpressionlist* list = SWexpressionlist::Find(*merged.world);
    ASSERT_NE(list, nullptr);
    const void* argument = static_cast<const SWdatanode*>(expression->GetArguments().Head())->GetData(0);
    EXPECT_TRUE(list->Holds(argument));
    EXPECT_NE(static_cast<const SWexpressionentry*>(argument)->GetId(), entry->GetId());
}

// Each older form read into the fields of its revision.
TEST(BehaviourRecords, OlderRecordFormsLoadWithTheFieldsOfTheirRevision)
{
    const auto loadOne = [](SWworld& world, const char(&tag)[5], const Fill& body, uint32_t version = 951) {
        EXPECT_TRUE(
            Load(world, OneEvent([&](SWchunkstream& out) { Record(out, MakeTag(tag), body); }, version), version));
        const SWevent* e = world.GetFirstEvent();
        return e != nullptr ? e->GetFirstAction() : nullptr;
    };
    {
        SWworld w;
        auto* a = dynamic_cast<SWoldarcballaction*>(loadOne(w, "7404", [](SWchunkstream& o) {
            PartA(o, 1);
            o.WriteU32(0);
        }));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->settings.buttonModes[0], 3);
    }
    {
        SWworld w;
        auto* a = dynamic_cast<SWoldarcballaction*>(loadOne(w, "7432", [](SWchunkstream& o) {
            PartA(o, 1);
            o.WriteU32(0);
            o.WriteU8(1), o.WriteU8(2), o.WriteU8(4);
        }));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->settings.buttonModes, (std::array<uint8_t, 3>{1, 2, 4}));
        EXPECT_EQ(a->settings.values[0], 100.0f);
    }
    {
        SWworld w;
        auto* a = dynamic_cast<SWresetaction*>(loadOne(w, "7434", [](SWchunkstream& o) {
            PartA(o, 1);
            o.WriteU32(0);
            o.WriteU8(0);
        }));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->settings.fullReset, 1);
        EXPECT_EQ(a->settings.subtree, 0);
    }
    {
        SWworld w;
        auto* a = dynamic_cast<SWstereoaction*>(loadOne(w, "7438", [](SWchunkstream& o) {
            PartA(o, 1);
            o.WriteU32(0);
            o.WriteU8(1), o.WriteU8(0);
        }));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(std::vector<int>({a->settings.eye, a->settings.byte3, a->settings.byte5, a->settings.byte6}),
                  std::vector<int>({1, 0, 0, 1}));
    }
    {
        SWworld w;
        auto* a = dynamic_cast<SWstereoaction*>(loadOne(w, "7464", [](SWchunkstream& o) {
            PartA(o, 1);
            o.WriteU32(0);
            o.WriteU8(1), o.WriteU8(0), o.WriteF32(0.25f), o.WriteF32(2.0f);
        }));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->settings.separation, 0.25f);
        EXPECT_EQ(a->settings.value3, 0.4f);
    }
    {
        SWworld w;
        auto* a = dynamic_cast<SWhostmessageaction*>(loadOne(w, "7442", [](SWchunkstream& o) {
            PartA(o, 1);
            o.WriteU32(0);
        }));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->sendVariable, 0);
    }
    {
        // Before version 930 the background was one packed colour in Part B.
        SWworld w;
        auto* a = dynamic_cast<SWbackgroundaction*>(loadOne(
            w, "7418",
            [](SWchunkstream& o) {
                PartA(o, 1);
                o.WriteU32(0x00FF0033);
            },
            920));
        ASSERT_NE(a, nullptr);
        EXPECT_FLOAT_EQ(a->settings.red, 1.0f);
        EXPECT_FLOAT_EQ(a->settings.blue, 0.2f);
    }
    {
        // Kinds 21 and 31 before version 900: no subtree byte, no id list; kind 46 before 951: no subtree byte.
        SWworld w;
        ASSERT_TRUE(Load(w,
                         OneEvent(
                             [](SWchunkstream& o) {
                                 Record(o, MakeTag("7420"), [](SWchunkstream& b) {
                                     PartA(b, 1);
                                     b.WriteU32(0);
                                 });
                                 Record(o, MakeTag("7430"), [](SWchunkstream& b) { PartA(b, 2); });
                                 Record(o, MakeTag("7455"), [](SWchunkstream& b) {
                                     PartA(b, 3);
                                     b.WriteU32(0);
                                     b.WriteU8(1), b.WriteU32(1), b.WriteU32(2);
                                 });
                             },
                             899),
                         899));
        const SWactionnode* a = w.GetFirstEvent()->GetFirstAction();
        ASSERT_EQ(w.GetFirstEvent()->CountActions(), 3u);
        EXPECT_EQ(dynamic_cast<const SWvisibilityaction*>(a)->settings.subtree, 0);
        a = SWevent::GetNextAction(a);
        EXPECT_TRUE(dynamic_cast<const SWstopqueueaction*>(a)->GetIds().empty());
        a = SWevent::GetNextAction(a);
        const auto* stop = dynamic_cast<const SWstopmotionsaction*>(a);
        EXPECT_EQ(stop->GetIds(), std::vector<uint32_t>{2});
        EXPECT_EQ(stop->subtree, 0);
    }
}

// An old expression action read as the expression action, aimed at the entry it named.
TEST(BehaviourRecords, AnOldExpressionActionLoadsAsTheExpressionActionWithItsEntry)
{
    SWworld w;
    SWexpressionentry* entry = SWexpressionlist::Of(w).Add(std::make_unique<SWexpression>(&w));
    const uint32_t id = entry->GetId();
    ASSERT_TRUE(Load(w, OneEvent([&](SWchunkstream& o) {
                         Record(o, MakeTag("7423"), [&](SWchunkstream& b) {
                             PartA(b, 1);
                             b.WriteU32(id);
                         });
                     })));
    const SWactionnode* a = w.GetFirstEvent()->GetFirstAction();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetKindId(), 35);
    ASSERT_EQ(a->GetArguments().Count(), 1u);
    EXPECT_EQ(static_cast<const SWdatanode*>(a->GetArguments().Head())->GetData(SWdatanode::kObject), entry);
}

// A file that keeps the events before the expression list: the arguments wait as ids, save as they were read, and
// find their entries when the preview starts.
TEST(BehaviourRecords, ExpressionArgumentsReadBeforeTheirEntriesFindThemAtTheStart)
{
    SWworld source;
    SWexpressionentry* entry = SWexpressionlist::Of(source).Add(std::make_unique<SWexpression>(&source));
    Add(*source.NewEvent(), 35)->AddArgument(entry, SWdatanode::kObject, false);
    const std::vector<uint8_t> events = Saved(source);
    const std::vector<uint8_t> expressions =
        Written([&](SWchunkstream& out) { EXPECT_TRUE(SWexpressionlist::Of(source).Save(out)); });

    SWworld w;
    ASSERT_TRUE(Load(w, events));
    EXPECT_EQ(Saved(w), events);
    SWchunkstream in(std::span<const uint8_t>(expressions.data(), expressions.size()));
    ASSERT_TRUE(SWexpressionlist::Of(w).Load(in));
    const SWactionnode* action = w.GetFirstEvent()->GetFirstAction();
    const auto* argument = static_cast<const SWdatanode*>(action->GetArguments().Head());
    EXPECT_FALSE(SWexpressionlist::Of(w).Holds(argument->GetData(SWdatanode::kObject)));
    w.SetRunning(true);
    argument = static_cast<const SWdatanode*>(action->GetArguments().Head());
    EXPECT_EQ(argument->GetData(SWdatanode::kObject), SWexpressionlist::Of(w).FindById(entry->GetId()));
    EXPECT_NE(argument->GetData(SWdatanode::kObject), nullptr);
    EXPECT_EQ(Saved(w), events);
}

TEST(BehaviourRecords, WrittenValuesThatCouldNotBeStoredAsTheyAreAreStoredSoundly)
{
    SWworld world;
    const float intervals[] = {std::numeric_limits<float>::quiet_NaN(), -5.0f, 1.0e10f, 1500.7f};
    for (float ms : intervals)
        world.AddEventOfType(4)->SetTimerInterval(ms);
    SWevent* holder = world.NewEvent();
    auto* background = dynamic_cast<SWbackgroundaction*>(Add(*holder, 19));
    background->settings = {1.5f, -0.2f, 0.5f, 1};
    auto* condition = dynamic_cast<SWconditionaction*>(Add(*holder, 25));
    condition->settings.constant = 0.0f;
    auto* reset = dynamic_cast<SWresetaction*>(Add(*holder, 34));
    reset->settings.fullReset = 1;

    SWworld again;
    ASSERT_TRUE(Load(again, Saved(world)));
    std::vector<float> loaded;
    for (SWevent* e = again.GetFirstEvent(); e != nullptr; e = SWevents::GetNextEvent(e))
        if (e->GetType() == 4)
            loaded.push_back(e->GetTimerInterval());
    EXPECT_EQ(loaded, (std::vector<float>{0.0f, 0.0f, 4294967295.0f, 1500.0f}));

    SWevent* loadedHolder = again.GetFirstEvent();
    for (int i = 0; i < 4; ++i)
        loadedHolder = SWevents::GetNextEvent(loadedHolder);
    ASSERT_NE(loadedHolder, nullptr);
    const SWactionnode* a = loadedHolder->GetFirstAction();
    // Each component clamped before packing: nothing carries into the neighbour or wraps.
    const auto& colour = dynamic_cast<const SWbackgroundaction*>(a)->settings;
    EXPECT_FLOAT_EQ(colour.red, 1.0f);
    EXPECT_FLOAT_EQ(colour.green, 0.0f);
    EXPECT_NEAR(colour.blue, 128.0f / 255.0f, 1e-6);
    // A constant of 0 still compares after the round trip.
    a = SWevent::GetNextAction(a);
    EXPECT_EQ(dynamic_cast<const SWconditionaction*>(a)->settings.constant, std::optional<float>(0.0f));
    // A full reset stays full.
    a = SWevent::GetNextAction(a);
    EXPECT_EQ(dynamic_cast<const SWresetaction*>(a)->settings.fullReset, 1);
}

TEST(BehaviourRecords, ArgumentsAndKeysReadFromAFileKeepTheirMeaning)
{
    SWworld w;
    const int32_t known = w.GetKeyTable().GetLetter('A')->GetCode();
    const std::vector<uint8_t> bytes = Written([&](SWchunkstream& out) {
        out.WriteU32(0);
        Record(out, MakeTag("7311"), [&](SWchunkstream& e) {
            Record(e, MakeTag("7399"), [&](SWchunkstream& f) {
                f.WriteU32(77);
                f.WriteU8(0);
                f.WriteU32(2);
                f.WriteI32(999999); // no such key
                f.WriteI32(known);
                f.WriteU8(1), f.WriteU8(1), f.WriteString(std::string_view("keys"));
            });
            Record(e, MakeTag("72AS"), [](SWchunkstream& o) {
                // The URL action takes its arguments by position: an empty URL keeps its place.
                Record(o, MakeTag("7409"), [](SWchunkstream& b) {
                    PartA(b, 1);
                    b.WriteU32(2);
                    b.WriteString(std::string_view());
                    b.WriteString(std::string_view("frame"));
                });
                Delay(o, 25.0);
                // Another kind drops empty arguments.
                Record(o, MakeTag("7410"), [](SWchunkstream& b) {
                    PartA(b, 2);
                    b.WriteU32(2);
                    b.WriteString(std::string_view());
                    b.WriteString(std::string_view("target"));
                });
                // A kind this world cannot make: skipped with its delay, which must not land on the one before.
                Record(o, MakeTag("7400"), [](SWchunkstream& b) { PartA(b, 3); });
                Delay(o, 999.0);
            });
        });
    });
    ASSERT_TRUE(Load(w, bytes));
    const SWevent* e = w.GetFirstEvent();
    ASSERT_NE(e->GetKeyEntry(), nullptr);
    ASSERT_EQ(e->GetKeyEntry()->Count(), 1u);
    EXPECT_EQ(static_cast<const SWkeyreference*>(e->GetKeyEntry()->Head())->key->GetCode(), known);
    const SWactionnode* url = e->GetFirstAction();
    EXPECT_EQ(Texts(*url), (std::vector<std::string>{"", "frame"}));
    EXPECT_EQ(url->GetDelay(), 25.0);
    const SWactionnode* trigger = SWevent::GetNextAction(url);
    EXPECT_EQ(Texts(*trigger), (std::vector<std::string>{"target"}));
    EXPECT_EQ(trigger->GetDelay(), 0.0);
    EXPECT_EQ(e->CountActions(), 2u);
}

TEST(BehaviourRecords, IdsReadNeverComeOutOfTheCountersAgain)
{
    SWworld w;
    // The stored counter (3) lies below an action id read (50).
    ASSERT_TRUE(Load(w, OneEvent(
                            [](SWchunkstream& o) {
                                Record(o, MakeTag("7410"), [](SWchunkstream& b) {
                                    PartA(b, 50);
                                    b.WriteU32(0);
                                });
                            },
                            951, "e", 3)));
    SWevent* loaded = w.GetFirstEvent();
    EXPECT_EQ(loaded->GetId(), 0x1234u);
    SWactionnode* later = Add(*loaded, 11);
    EXPECT_GT(later->GetActionId(), 50u);
    EXPECT_NE(w.NewEvent()->GetId(), 0x1234u);
}

// An event id kept from a file just below the range readers renumber: the events made after it still take ids
// below that range, so the world saves the same bytes after it loads again.
TEST(BehaviourRecords, EventsMadeAfterAKeptIdJustBelowTheRenumberedRangeKeepTheirIdsThroughALoad)
{
    const std::vector<uint8_t> bytes = Written([](SWchunkstream& out) {
        out.WriteU32(0);
        Record(out, MakeTag("7303"), [](SWchunkstream& e) {
            Record(e, MakeTag("7399"), [](SWchunkstream& f) {
                f.WriteU32(0x7FFFFFFFu), f.WriteU8(1), f.WriteU8(1), f.WriteString(std::string_view("top"));
            });
            Record(e, MakeTag("72AS"), [](SWchunkstream&) {});
        });
    });
    SWworld first;
    SWreadcontext keep(SWreadcontext::IdMode::kKeep);
    ASSERT_TRUE(Load(first, bytes, 951, &keep));
    ASSERT_EQ(first.GetFirstEvent()->GetId(), 0x7FFFFFFFu);
    SWevent* made = first.NewEvent();
    made->SetName(std::string("made"));
    EXPECT_LT(made->GetId(), kLowestUnsafeId);
    EXPECT_NE(made->GetId(), 0x7FFFFFFFu);
    const std::vector<uint8_t> saved = Saved(first);

    SWworld again;
    SWreadcontext keepAgain(SWreadcontext::IdMode::kKeep);
    ASSERT_TRUE(Load(again, saved, 951, &keepAgain));
    ASSERT_EQ(again.CountEvents(), 2u);
    EXPECT_EQ(SWevents::GetNextEvent(again.GetFirstEvent())->GetId(), made->GetId());
    EXPECT_EQ(Saved(again), saved);
}

TEST(BehaviourRecords, AFailedEventGoesAloneAndTheEventsBeforeItKeepTheirArguments)
{
    const auto event = [](SWchunkstream& out, const char* name, const Fill& actions) {
        Record(out, MakeTag("7303"), [&](SWchunkstream& e) {
            Record(e, MakeTag("7399"), [&](SWchunkstream& f) {
                f.WriteU32(0), f.WriteU8(1), f.WriteU8(1), f.WriteString(std::string_view(name));
            });
            Record(e, MakeTag("72AS"), actions);
        });
    };
    const std::vector<uint8_t> bytes = Written([&](SWchunkstream& out) {
        out.WriteU32(0);
        // A trigger naming the event that fails.
        event(out, "first", [](SWchunkstream& o) {
            Record(o, MakeTag("7410"), [](SWchunkstream& b) {
                PartA(b, 1);
                b.WriteU32(1);
                b.WriteString(std::string_view("broken"));
            });
        });
        // Named, then damaged: its expression action claims more entries than its record holds.
        event(out, "broken", [](SWchunkstream& o) {
            Record(o, MakeTag("7435"), [](SWchunkstream& b) {
                PartA(b, 2);
                b.WriteU32(0xFFFFFFFF);
            });
        });
    });

    SWworld w;
    EXPECT_FALSE(Load(w, bytes));
    ASSERT_EQ(w.CountEvents(), 1u);
    EXPECT_EQ(Texts(*w.GetFirstEvent()->GetFirstAction()), (std::vector<std::string>{"broken"}));
}

// Damaged input: every cut of a full section, and counts that claim far more than the record holds, end quickly
// with the events read before the damage.
TEST(BehaviourRecords, DamagedSectionsEndCleanly)
{
    SWworld world;
    BuildEverything(world);
    const std::vector<uint8_t> whole = Saved(world);
    for (size_t cut = 0; cut < whole.size(); cut += 7) {
        SWworld w;
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        Load(w, part);
        EXPECT_LE(w.CountEvents(), world.CountEvents());
    }
    const auto bigCount = [](const char(&eventTag)[5], const Fill& typeData) {
        return Written([&](SWchunkstream& out) {
            out.WriteU32(0);
            Record(out, MakeTag(eventTag), [&](SWchunkstream& e) {
                Record(e, MakeTag("7399"), [&](SWchunkstream& f) {
                    f.WriteU32(1);
                    typeData(f);
                });
            });
        });
    };
    const std::vector<std::vector<uint8_t>> cases = {
        bigCount("7311", [](SWchunkstream& f) { f.WriteU8(0), f.WriteU32(0xFFFFFFFF), f.WriteI32(65); }),
        bigCount("7305", [](SWchunkstream& f) { f.WriteU8(0), f.WriteU32(0xFFFFFFFF), f.WriteU32(1); }),
        bigCount("7309", [](SWchunkstream& f) { f.WriteU32(0xFFFFFFFF); }),
        bigCount("7313", [](SWchunkstream& f) { f.WriteU32(1), f.WriteU32(0), f.WriteU32(0xFFFFFFFF); }),
        OneEvent([](SWchunkstream& o) {
            Record(o, MakeTag("7435"), [](SWchunkstream& b) {
                PartA(b, 1);
                b.WriteU32(0xFFFFFFFF);
                b.WriteU32(0);
            });
        }),
        OneEvent([](SWchunkstream& o) {
            Record(o, MakeTag("7430"), [](SWchunkstream& b) {
                PartA(b, 1);
                b.WriteU32(0xFFFFFFFF);
            });
        }),
        OneEvent([](SWchunkstream& o) {
            Record(o, MakeTag("7410"), [](SWchunkstream& b) {
                PartA(b, 1);
                b.WriteU32(0xFFFFFFFF);
                b.WriteU32(1);
            });
        }),
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        SWworld w;
        EXPECT_FALSE(Load(w, cases[i]));
        EXPECT_EQ(w.CountEvents(), 0u);
    }
    // A delay record before any action has nothing to apply to.
    SWworld w;
    EXPECT_TRUE(Load(w, OneEvent([](SWchunkstream& o) {
                         Delay(o, 5.0);
                         Record(o, MakeTag("7410"), [](SWchunkstream& b) {
                             PartA(b, 1);
                             b.WriteU32(0);
                         });
                     })));
    EXPECT_EQ(w.GetFirstEvent()->GetFirstAction()->GetDelay(), 0.0);
}

class RecordingSink : public ResourceReportSink {
public:
    void Report(const ResourceReport& report) override { reports.push_back(report); }
    std::vector<ResourceReport> reports;
};

std::vector<uint8_t> g_damagedSection; // what the writer below puts in the file

bool WriteDamagedSection(SWworldwriting&, SWchunkstream& out)
{
    return out.WriteBytes(g_damagedSection.data(), g_damagedSection.size());
}

TEST(BehaviourRecords, AWorldFileWithADamagedEventLoadsTheRestAndSaysSoOnce)
{
    const auto event = [](SWchunkstream& out, const char* name, const Fill& actions) {
        Record(out, MakeTag("7303"), [&](SWchunkstream& e) {
            Record(e, MakeTag("7399"), [&](SWchunkstream& f) {
                f.WriteU32(0), f.WriteU8(1), f.WriteU8(1), f.WriteString(std::string_view(name));
            });
            Record(e, MakeTag("72AS"), actions);
        });
    };
    g_damagedSection = Written([&](SWchunkstream& out) {
        out.WriteU32(0);
        event(out, "good", [](SWchunkstream&) {});
        // An expression action claiming four billion entries in a few bytes.
        event(out, "bad", [](SWchunkstream& o) {
            Record(o, MakeTag("7435"), [](SWchunkstream& b) {
                PartA(b, 1);
                b.WriteU32(0xFFFFFFFF);
            });
        });
        event(out, "after", [](SWchunkstream&) {});
    });

    static constexpr SWworldsectionhandler kDamaging = {.writeStream = &WriteDamagedSection};
    std::vector<uint8_t> bytes;
    {
        const SWworldsectionhandler* real = ReplaceWorldSectionHandler(WorldSection::kEvents, &kDamaging);
        SWworld empty;
        EXPECT_EQ(WriteWorldFile(empty, WorldFileMode::kScene, bytes), DocumentStatus::kOk);
        ReplaceWorldSectionHandler(WorldSection::kEvents, real);
    }
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(bytes, file), DocumentStatus::kOk);

    RecordingSink sink;
    SetResourceReportSink(&sink);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    WorldLoadResult loaded = ReadWorldFile(file, context);
    SetResourceReportSink(nullptr);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    ASSERT_EQ(loaded.world->CountEvents(), 1u);
    EXPECT_EQ(loaded.world->GetFirstEvent()->GetName(), std::optional<std::string>("good"));
    ASSERT_EQ(sink.reports.size(), 1u);
    EXPECT_NE(sink.reports[0].text.find("number 2 (\"bad\")"), std::string::npos) << sink.reports[0].text;
}

} // namespace
