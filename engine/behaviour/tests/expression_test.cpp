// Expressions: the scanner and evaluation order, reference resolution, live operands, assignment, the expression
// list's records and the expression action.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/data_node.h"
#include "engine/core/java_class_node.h"
#include "engine/core/node_names.h"
#include "engine/core/object_node.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/unique_id.h"
#include "engine/core/vector.h"
#include "engine/core/world.h"
#include "engine/core/world_file.h"
#include "engine/resources/sound.h"
#include "testsupport/behaviour/demo_scene.h"
#include "testsupport/behaviour/frame_driver.h"

namespace {

struct Scene {
    Scene() { BuildDemoScene(world); }
    SWproperty* Var(const char* node, const char* name)
    {
        return world.GetRootNode()->FindByName(node)->FindVariable(name);
    }
    SWworld world;
};

// The value of text evaluated in the scene; code is the compile result.
float Value(SWworld& world, const std::string& text, int& code)
{
    std::unique_ptr<SWexpression> e = SWexpression::CompileExpression(&world, text, code);
    return SWexpression::Evaluate(e.get())->GetAsFloat();
}

std::vector<uint8_t> Bytes(SWbuffer& buffer)
{
    SWchunkstream in(buffer, SWchunkstream::kRead);
    std::vector<uint8_t> bytes(in.Remaining());
    in.ReadBytes(bytes.data(), bytes.size());
    return bytes;
}

std::vector<uint8_t> Saved(const SWexpressionlist& list)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        EXPECT_TRUE(list.Save(out));
    }
    return Bytes(buffer);
}

bool LoadInto(SWexpressionlist& list, const std::vector<uint8_t>& bytes, SWreadcontext* context = nullptr)
{
    SWchunkstream in(std::span<const uint8_t>(bytes.data(), bytes.size()));
    in.SetReadContext(context);
    return list.Load(in);
}

} // namespace

TEST(ExpressionScanner, ValuesAndCodesOfTheGrammar)
{
    Scene s;
    struct Case {
        const char* text;
        int code;
        float value;
    };
    const Case cases[] = {
        {"1+2*3", 0, 7.0f},
        {"(1+2)*3", 0, 9.0f},
        {"10-4+3", 0, 9.0f},
        {"2-3-4", 0, -5.0f},
        {"8-2+1", 0, 7.0f},
        {"3+", 0, 3.0f},
        {"7/2", 0, 3.5f},
        {"1.5", 0, 1.5f},
        {"1.", 0, 1.0f},
        {"((2))*((3+1))", 0, 8.0f},
        {"2*(3+(4-1)*2)", 0, 18.0f},
        {"", 0, 0.0f},
        {"-3", 1, 0.0f},
        {"2*-3", 1, 0.0f},
        {"(1+2", 1, 0.0f},
        {"1+2)", 1, 0.0f},
        {"1.2.3", 1, 0.0f},
        {"2x.y", 1, 0.0f},
        {"a.b.c", 1, 0.0f},
        {"ab", 1, 0.0f},
        {".5", 1, 0.0f},
        {"1 + 2", 1, 0.0f},
        {"()", 1, 0.0f},
        {"(1)2", 1, 0.0f},
        {"1a", 1, 0.0f},
        {"2(3)", 1, 0.0f},
    };
    for (const Case& c : cases) {
        int code = -1;
        const float value = Value(s.world, c.text, code);
        EXPECT_EQ(code, c.code) << c.text;
        EXPECT_FLOAT_EQ(value, c.value) << c.text;
    }
    int code = -1;
    std::unique_ptr<SWexpression> deep = SWexpression::CompileExpression(&s.world, "(((1)))+((2))", code);
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(deep->GetMaximumLevel(), 7);
    EXPECT_EQ(SWexpression::CompileExpression(&s.world, "1+2", code)->GetMaximumLevel(), 4);
}

TEST(ExpressionScanner, DivisionBindsFirstWithIntegerVariables)
{
    Scene s;
    s.Var("lamp", "count")->SetAllFromData(TypedValueData::OfInteger(2));
    int code = -1;
    // box.count is 7: 7*(2/7) is 0, where (7*2)/7 would be 2.
    std::unique_ptr<SWexpression> e =
        SWexpression::CompileExpression(&s.world, "box.count*lamp.count/NODE:box.count", code);
    ASSERT_EQ(code, 0);
    std::unique_ptr<SWproperty> r = SWexpression::Evaluate(e.get());
    EXPECT_EQ(r->GetType(), kTypeInteger);
    EXPECT_EQ(r->GetAsInt(), 0);
    // And "-" before "+": 7-(2+...) never happens, (7-2)+2 does.
    e = SWexpression::CompileExpression(&s.world, "box.count-lamp.count+lamp.count", code);
    EXPECT_EQ(SWexpression::Evaluate(e.get())->GetAsInt(), 7);
}

TEST(ExpressionResolution, CodesPrefixesAndUnnamedObjects)
{
    Scene s;
    struct Case {
        const char* text;
        int code;
    };
    const Case cases[] = {
        {"lamp.level", 0},
        {"NODE:lamp.level", 0},
        {"node:lamp.level", 0},
        {"Sound:hum.volume", 0},
        {"hum.volume", 4}, // no prefix never finds a sound: a missing node is code 4
        {"lamp:a.b", 3},
        {"lamp.nothing", 5},
        {"SOUND:hum.nothing", 4},
        {"SOUND:none.volume", 4},
        {"ghost.level", 4},
        {"resource:res.gain", 0},
        {"RESOURCE:res.nothing", 4},
        {"Resource:none.gain", 4},
        {"lamp", 1},
        {"", 1},
        {"NODE:.level", 4},
        {"SOUND:.volume", 4},
    };
    for (const Case& c : cases) {
        int code = -1;
        SWproperty* v = SWexpression::ResolveVariableReference(&s.world, c.text, code);
        EXPECT_EQ(code, c.code) << c.text;
        EXPECT_EQ(v != nullptr, c.code == 0) << c.text;
    }
    // A sound and a node of one name both claim an unprefixed reference.
    auto* twin = new SWobjectnode();
    twin->SetName(std::string("hum"));
    s.world.AddNode(twin, nullptr);
    int code = -1;
    EXPECT_EQ(SWexpression::ResolveVariableReference(&s.world, "hum.volume", code), nullptr);
    EXPECT_EQ(code, 5);
    // Unnamed nodes and sounds are skipped, never compared.
    auto* unnamedNode = new SWobjectnode();
    s.world.AddNode(unnamedNode, nullptr);
    SWsound* unnamedSound = s.world.GetSoundList().Add(std::make_unique<SWsound>());
    SWjavaclassnode* unnamedEntry = s.world.AddJavaClass(std::make_unique<SWjavaclassnode>());
    for (SWproperties2* owner : {static_cast<SWproperties2*>(unnamedNode), &s.world.GetSoundVariables(*unnamedSound),
                                 static_cast<SWproperties2*>(unnamedEntry)}) {
        auto v = std::make_unique<SWproperty>(kTypeFloat);
        v->SetName(std::string("v"));
        owner->AddVariable(std::move(v));
    }
    for (const char* text : {"NODE:.v", "SOUND:.v", "RESOURCE:.v", ".v"}) {
        EXPECT_EQ(SWexpression::ResolveVariableReference(&s.world, text, code), nullptr) << text;
        EXPECT_EQ(code, 4) << text;
    }
    // References far longer than any fixed buffer resolve.
    const std::string longName(400, 'n');
    auto* far = new SWobjectnode();
    far->SetName(longName);
    s.world.AddNode(far, nullptr);
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    level->SetFloatAll(6.0f);
    far->AddVariable(std::move(level));
    EXPECT_FLOAT_EQ(Value(s.world, longName + ".level*2", code), 12.0f);
    EXPECT_EQ(code, 0);
    // The qualified names the world writes read back, RESOURCE included.
    for (SWproperty* v : {s.Var("lamp", "level"),
                          s.world.GetJavaClasses().Head() != nullptr
                              ? static_cast<SWjavaclassnode*>(s.world.GetJavaClasses().Head())->FindVariable("gain")
                              : nullptr}) {
        ASSERT_NE(v, nullptr);
        const std::optional<std::string> name = s.world.GetQualifiedName(*v);
        ASSERT_TRUE(name);
        EXPECT_EQ(SWexpression::ResolveVariableReference(&s.world, *name, code), v) << *name;
    }
}

TEST(ExpressionEvaluation, OperatorTableTypesRepeatableAndEmpty)
{
    Scene s;
    int code = -1;
    std::unique_ptr<SWexpression> e =
        SWexpression::CompileExpression(&s.world, "lamp.level*2+SOUND:hum.volume/(box.width-1)", code);
    ASSERT_EQ(code, 0);
    const size_t tokens = e->Count();
    const float first = SWexpression::Evaluate(e.get())->GetAsFloat();
    EXPECT_FLOAT_EQ(first, 0.5f * 2 + 0.25f / 2);
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(e.get())->GetAsFloat(), first);
    EXPECT_EQ(e->Count(), tokens);

    e = SWexpression::CompileExpression(&s.world, "lamp.label+box.count", code);
    EXPECT_EQ(SWexpression::Evaluate(e.get())->GetAsString(), "lamp7");
    e = SWexpression::CompileExpression(&s.world, "lamp.dir*2", code);
    std::unique_ptr<SWproperty> v = SWexpression::Evaluate(e.get());
    EXPECT_EQ(v->GetType(), kTypeVector);
    EXPECT_FLOAT_EQ(v->GetAsVector().y, 4.0f);
    // A single operand gives a copy of its own: changing the result leaves the variable alone.
    e = SWexpression::CompileExpression(&s.world, "lamp.level", code);
    v = SWexpression::Evaluate(e.get());
    v->AssignFloat(9.0f);
    EXPECT_FLOAT_EQ(s.Var("lamp", "level")->GetAsFloat(), 0.5f);

    // No tokens (an empty text) and no expression both give the float 0.
    e = SWexpression::CompileExpression(&s.world, "", code);
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->Empty());
    v = SWexpression::Evaluate(e.get());
    EXPECT_EQ(v->GetType(), kTypeFloat);
    EXPECT_FLOAT_EQ(v->GetAsFloat(), 0.0f);
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(nullptr)->GetAsFloat(), 0.0f);
}

TEST(ExpressionEvaluation, NumbersIgnoreTheProcessLocale)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr && std::setlocale(LC_NUMERIC, "fr_FR.UTF-8") == nullptr)
        GTEST_SKIP() << "no decimal-comma locale installed (de_DE.UTF-8 or fr_FR.UTF-8)";
    Scene s;
    int code = -1;
    const float value = Value(s.world, "1.5*2", code);
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(code, 0);
    EXPECT_FLOAT_EQ(value, 3.0f);
}

TEST(ExpressionLifetimes, OperandsAreLiveAndFollowDeletionAndReturn)
{
    Scene s;
    SWexpressionlist& list = SWexpressionlist::Of(s.world);
    auto stored = std::make_unique<SWexpression>(&s.world);
    stored->SetText(std::string("lamp.level+1"));
    SWexpression* e = list.Add(std::move(stored))->GetExpression();
    // Compiled lazily, it reads the live variable, not a snapshot taken when it compiled.
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(e)->GetAsFloat(), 1.5f);
    s.Var("lamp", "level")->AssignFloat(2.0f);
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(e)->GetAsFloat(), 3.0f);

    // The variable goes: 0, without reaching freed memory; a new one of that name is found again.
    SWnode* lamp = s.world.GetRootNode()->FindByName("lamp");
    ASSERT_TRUE(lamp->RemoveVariable(s.Var("lamp", "level")));
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(e)->GetAsFloat(), 0.0f);
    EXPECT_FALSE(e->IsValid());
    auto again = std::make_unique<SWproperty>(kTypeFloat);
    again->SetName(std::string("level"));
    again->SetFloatAll(4.0f);
    lamp->AddVariable(std::move(again));
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(e)->GetAsFloat(), 5.0f);

    // The node goes: parsing again keeps the user's text byte for byte, and it evaluates once a node returns.
    s.world.DeleteNode(lamp);
    e->ParseExpression();
    EXPECT_FALSE(e->IsCompiled());
    EXPECT_EQ(*e->GetText(), "lamp.level+1");
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(e)->GetAsFloat(), 0.0f);
    auto* back = new SWobjectnode();
    back->SetName(std::string("lamp"));
    s.world.AddNode(back, nullptr);
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    level->SetFloatAll(1.0f);
    back->AddVariable(std::move(level));
    e->ParseExpression();
    EXPECT_TRUE(e->IsCompiled());
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(e)->GetAsFloat(), 2.0f);
}

TEST(ExpressionAssignment, AssignsKeepsPreviousAndRedrawsForTransformViews)
{
    Scene s;
    int code = -1;
    std::unique_ptr<SWexpression> e = SWexpression::CompileExpression(&s.world, "lamp.level*4", code);
    std::unique_ptr<SWproperty> value = SWexpression::Evaluate(e.get());
    e->Execute(*value); // no target: nothing
    e->SetTargetText(std::string("box.height"));
    e->Execute(*value);
    SWproperty* height = s.Var("box", "height");
    EXPECT_FLOAT_EQ(height->GetAsFloat(), 2.0f);
    EXPECT_FLOAT_EQ(TypedValueData(height->GetPreviousData()).elements[0], 0.0f);
    EXPECT_FALSE(s.world.IsFullRedrawRequested());

    e = SWexpression::CompileExpression(&s.world, "lamp.dir*2", code);
    e->SetTargetText(std::string("box.") + kPositionVariableName);
    e->Execute(*SWexpression::Evaluate(e.get()));
    EXPECT_FLOAT_EQ(s.Var("box", kPositionVariableName)->GetAsVector().z, 6.0f);
    EXPECT_TRUE(s.world.IsFullRedrawRequested());

    // An expression that no longer compiles assigns nothing.
    auto broken = std::make_unique<SWexpression>(&s.world);
    broken->SetText(std::string("1+"));
    broken->SetText(std::string("(1"));
    broken->SetTargetText(std::string("box.height"));
    broken->Execute(*value);
    EXPECT_FLOAT_EQ(height->GetAsFloat(), 2.0f);
}

TEST(ExpressionRecords, RoundTripKeepsEveryFieldAndUncompilableTexts)
{
    Scene s;
    SWexpressionlist& list = SWexpressionlist::Of(s.world);
    for (const char* text : {"lamp.level*2", "ghost.level+1", "(1+"}) {
        auto e = std::make_unique<SWexpression>(&s.world);
        e->SetText(std::string(text));
        e->SetName(std::string("n-") + text);
        list.Add(std::move(e));
    }
    static_cast<SWexpressionentry*>(list.Entries().Head())->GetExpression()->SetTargetVariable(s.Var("box", "height"));
    static_cast<SWexpressionentry*>(list.Entries().Tail())
        ->GetExpression()
        ->SetTargetVariableId(0x7777); // names nothing
    const std::vector<uint8_t> bytes = Saved(list);

    SWworld other;
    BuildDemoScene(other);
    SWexpressionlist& loaded = SWexpressionlist::Of(other);
    ASSERT_TRUE(LoadInto(loaded, bytes));
    ASSERT_EQ(loaded.Entries().Count(), 3u);
    EXPECT_EQ(Saved(loaded), bytes);
    for (const SWlistnode* n = list.Entries().Head(); n != nullptr; n = n->Next()) {
        const auto* a = static_cast<const SWexpressionentry*>(n);
        const SWexpressionentry* b = loaded.FindById(a->GetId());
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b->GetExpression()->GetText(), a->GetExpression()->GetText());
        EXPECT_EQ(b->GetExpression()->GetName(), a->GetExpression()->GetName());
    }
    // The text naming a node the world lacks stays, and compiles once the node exists.
    SWexpression* ghost = loaded.FindByName("n-ghost.level+1")->GetExpression();
    EXPECT_FALSE(ghost->IsValid());
    auto* node = new SWobjectnode();
    node->SetName(std::string("ghost"));
    other.AddNode(node, nullptr);
    auto level = std::make_unique<SWproperty>(kTypeFloat);
    level->SetName(std::string("level"));
    level->SetFloatAll(2.0f);
    node->AddVariable(std::move(level));
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(ghost)->GetAsFloat(), 3.0f);
}

TEST(ExpressionRecords, LoadedIdsRaiseTheCounterAndDuplicatesGetFreshOnes)
{
    SWworld world;
    SWbuffer buffer;
    const uint32_t high = NextUniqueId() + 1000;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        for (int i = 0; i < 2; ++i) {
            SWrecordbuilder entry(out, MakeTag("72EN"));
            SWrecordbuilder body(entry.Stream(), MakeTag("7ESB"));
            body.Stream().WriteU32(high);
            body.Stream().WriteString(std::string("1+2"));
            body.Stream().WriteString(std::string(i == 0 ? "first" : "second"));
            body.Stream().WriteU32(0);
            ASSERT_TRUE(body.Finish());
            ASSERT_TRUE(entry.Finish());
        }
    }
    SWexpressionlist& list = SWexpressionlist::Of(world);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    ASSERT_TRUE(LoadInto(list, Bytes(buffer), &context));
    ASSERT_EQ(list.Entries().Count(), 2u);
    EXPECT_EQ(list.FindById(high), list.FindByName("first"));
    EXPECT_NE(list.FindByName("second")->GetId(), high);
    // Without a document's context too, a duplicate is never kept.
    SWworld plain;
    SWexpressionlist& bare = SWexpressionlist::Of(plain);
    ASSERT_TRUE(LoadInto(bare, Bytes(buffer)));
    EXPECT_NE(bare.FindByName("second")->GetId(), high);
    // An entry added later never takes a loaded id.
    EXPECT_GT(list.Add(std::make_unique<SWexpression>(&world))->GetId(), high);
}

TEST(ExpressionRecords, DamagedListsLoadNothingAndNeverCrash)
{
    Scene s;
    SWexpressionlist& list = SWexpressionlist::Of(s.world);
    for (const char* text : {"lamp.level*2", "box.width"}) {
        auto e = std::make_unique<SWexpression>(&s.world);
        e->SetText(std::string(text));
        e->SetName(std::string(text));
        list.Add(std::move(e));
    }
    const std::vector<uint8_t> bytes = Saved(list);
    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        SWworld other;
        SWexpressionlist& target = SWexpressionlist::Of(other);
        const std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        // A cut on a record boundary is a shorter list; any other cut is damage and loads nothing.
        if (!LoadInto(target, part)) {
            EXPECT_EQ(target.Entries().Count(), 0u) << cut;
        }
    }
    // Lengths and string lengths of 0xFFFFFFFF.
    for (const size_t at : {size_t{4}, size_t{12}, size_t{20}}) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] = damaged[at + 1] = damaged[at + 2] = damaged[at + 3] = 0xFF;
        SWworld other;
        SWexpressionlist& target = SWexpressionlist::Of(other);
        EXPECT_FALSE(LoadInto(target, damaged)) << at;
        EXPECT_EQ(target.Entries().Count(), 0u) << at;
    }
}

TEST(ExpressionAction, StepEventAssignsEachFrameAndStaleTargetsAreIgnored)
{
    FrameDriver d;
    BuildDemoScene(d.world);
    SWexpressionlist& list = SWexpressionlist::Of(d.world);
    const auto add = [&](const char* text, const char* target) {
        auto e = std::make_unique<SWexpression>(&d.world);
        e->SetText(std::string(text));
        e->SetTargetText(std::string(target));
        return list.Add(std::move(e));
    };
    SWexpressionentry* grow = add("box.height+1", "box.height");
    SWexpressionentry* copy = add("box.height*10", "lamp.level");
    SWevent* step = d.Event(static_cast<uint32_t>(EventType::kWorldStep), "step");
    SWactionnode* action = d.Action(step, 35);
    action->AddArgument(grow, SWdatanode::kObject, false);
    action->AddArgument(copy, SWdatanode::kObject, false);
    int notAnEntry = 0;
    action->AddArgument(&notAnEntry, SWdatanode::kObject, false); // never followed
    d.Start();
    d.Frame();
    d.Frame();
    SWproperty* height = d.world.GetRootNode()->FindByName("box")->FindVariable("height");
    EXPECT_FLOAT_EQ(height->GetAsFloat(), 2.0f);
    EXPECT_FLOAT_EQ(d.world.GetRootNode()->FindByName("lamp")->FindVariable("level")->GetAsFloat(), 20.0f);

    // Removing an entry takes the arguments that point at it; the other entry still runs.
    EXPECT_TRUE(list.Remove(grow));
    EXPECT_EQ(action->GetArguments().Count(), 2u);
    d.Frame();
    EXPECT_FLOAT_EQ(height->GetAsFloat(), 2.0f);
    EXPECT_FALSE(list.Remove(grow));
}

TEST(ExpressionWatch, APropertyChangedEventFindsItsVariableByQualifiedName)
{
    Scene s;
    SWevent* event = s.world.NewEvent();
    event->SetType(static_cast<uint32_t>(EventType::kPropertyChanged));
    event->SetWatchedVariableName(std::string("RESOURCE:res.gain"));
    EXPECT_EQ(event->GetWatchedVariable(),
              static_cast<SWjavaclassnode*>(s.world.GetJavaClasses().Head())->FindVariable("gain"));
    event->SetWatchedVariableName(std::string("NODE:lamp.level"));
    EXPECT_EQ(event->GetWatchedVariable(), s.Var("lamp", "level"));
    s.world.GetRootNode()->FindByName("lamp")->RemoveVariable(s.Var("lamp", "level"));
    EXPECT_EQ(event->GetWatchedVariable(), nullptr);
    // Lists that tell the world nothing of their removals: a resource's and a sound's.
    auto* res = static_cast<SWjavaclassnode*>(s.world.GetJavaClasses().Head());
    event->SetWatchedVariableName(std::string("RESOURCE:res.gain"));
    ASSERT_EQ(event->GetWatchedVariable(), res->FindVariable("gain"));
    res->RemoveVariable(res->FindVariable("gain"));
    EXPECT_EQ(event->GetWatchedVariable(), nullptr);
    int code = -1;
    std::unique_ptr<SWexpression> e = SWexpression::CompileExpression(&s.world, "SOUND:hum.volume*4", code);
    ASSERT_EQ(code, 0);
    SWsound* hum = s.world.GetSoundList().FindByName("hum");
    SWproperties2& sound = s.world.GetSoundVariables(*hum);
    sound.RemoveVariable(sound.FindVariable("volume"));
    EXPECT_FLOAT_EQ(SWexpression::Evaluate(e.get())->GetAsFloat(), 0.0f);
}

TEST(ExpressionRecords, TheWorldFileCarriesTheListWithItsTargets)
{
    Scene s;
    auto e = std::make_unique<SWexpression>(&s.world);
    e->SetText(std::string("lamp.level*4"));
    e->SetName(std::string("quad"));
    e->SetTargetVariable(s.Var("box", "height"));
    const uint32_t id = SWexpressionlist::Of(s.world).Add(std::move(e))->GetId();
    std::vector<uint8_t> bytes;
    ASSERT_EQ(WriteWorldFile(s.world, WorldFileMode::kScene, bytes), DocumentStatus::kOk);
    SWdocumentfile file;
    ASSERT_EQ(SWdocumentfile::Parse(std::move(bytes), file), DocumentStatus::kOk);
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    WorldLoadResult loaded = ReadWorldFile(file, context);
    ASSERT_EQ(loaded.status, DocumentStatus::kOk);
    const SWexpressionlist* list = SWexpressionlist::Find(*loaded.world);
    ASSERT_NE(list, nullptr);
    SWexpressionentry* entry = list->FindById(id);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->GetExpression()->GetName(), std::optional<std::string>("quad"));
    entry->GetExpression()->Execute(*SWexpression::Evaluate(entry->GetExpression()));
    EXPECT_FLOAT_EQ(loaded.world->GetRootNode()->FindByName("box")->FindVariable("height")->GetAsFloat(), 2.0f);
}
