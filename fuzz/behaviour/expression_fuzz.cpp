// Expressions from any bytes. The first byte chooses: even, the rest is an expression's text, compiled, parsed
// and evaluated against a small scene; odd, the rest is an expression list's records, loaded, evaluated, written
// and read again. Never a crash, a hang or a read of freed storage; a text that compiles evaluates alike twice
// and keeps its tokens; a list that loads writes the same bytes after a second load. Texts of tens of thousands of
// bytes are tried: the longest seeds are long, and the length limit is raised unless the command line sets one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/behaviour/expression.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/property.h"
#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/java_class_node.h"
#include "engine/core/object_node.h"
#include "engine/core/typed_value_data.h"
#include "engine/core/typed_value_text.h"
#include "engine/core/vector.h"
#include "engine/core/world.h"
#include "engine/resources/sound.h"

namespace {

void AddVariable(SWproperties2& list, const char* name, const TypedValueData& value)
{
    auto variable = std::make_unique<SWproperty>(value.type);
    variable->SetName(std::string(name));
    variable->SetAllFromData(value);
    list.AddVariable(std::move(variable));
}

// Nodes "lamp" and "box", a sound "hum" and a resource "res", with variables of several types.
void BuildScene(SWworld& world)
{
    for (const char* name : {"lamp", "box"}) {
        auto* node = new SWobjectnode();
        node->SetName(std::string(name));
        world.AddNode(node, nullptr);
        AddVariable(*node, "level", TypedValueData::OfFloat(0.5f));
        AddVariable(*node, "count", TypedValueData::OfInteger(7));
        AddVariable(*node, "label", TypedValueData::OfString(name));
        AddVariable(*node, "on", TypedValueData::OfBoolean(true));
        AddVariable(*node, "dir", TypedValueData::OfVector(SWvector(1.0f, 2.0f, 3.0f)));
        AddVariable(*node, "pose", TypedValueData::Default(kTypeMatrix));
    }
    SWsound* hum = world.GetSoundList().Add(std::make_unique<SWsound>("hum"));
    AddVariable(world.GetSoundVariables(*hum), "volume", TypedValueData::OfFloat(0.25f));
    SWjavaclassnode* res = world.AddJavaClass(std::make_unique<SWjavaclassnode>("res"));
    AddVariable(*res, "gain", TypedValueData::OfInteger(3));
}

std::string ValueText(const SWproperty& value)
{
    return std::to_string(value.GetType()) + ":" + TypedValueText(value.GetCurrentData());
}

void FuzzText(SWworld& world, std::string_view text)
{
    int code = -1;
    std::unique_ptr<SWexpression> compiled = SWexpression::CompileExpression(&world, text, code);
    if ((compiled != nullptr) != (code == SWexpression::kCodeOk))
        std::abort();
    if (compiled != nullptr) {
        const size_t tokens = compiled->Count();
        const std::string first = ValueText(*SWexpression::Evaluate(compiled.get()));
        if (ValueText(*SWexpression::Evaluate(compiled.get())) != first || compiled->Count() != tokens)
            std::abort();
    }
    // The stored-text route: parsing never changes the text, and all or none of the tokens are kept.
    SWexpression stored(&world);
    stored.SetText(std::string(text));
    stored.SetTargetText(std::string("box.level"));
    stored.ParseExpression();
    if (stored.GetText() != std::optional<std::string>(std::string(text)) || (!stored.IsCompiled() && !stored.Empty()))
        std::abort();
    if (stored.IsCompiled() != (compiled != nullptr))
        std::abort();
    const std::unique_ptr<SWproperty> value = SWexpression::Evaluate(&stored);
    stored.Execute(*value);
}

std::vector<uint8_t> Written(const SWexpressionlist& list)
{
    SWbuffer buffer;
    {
        SWchunkstream out(buffer, SWchunkstream::kWrite);
        if (!list.Save(out))
            std::abort();
    }
    return buffer.ToVector();
}

void FuzzRecords(std::span<const uint8_t> bytes)
{
    SWworld world;
    BuildScene(world);
    SWexpressionlist& list = SWexpressionlist::Of(world);
    bool loaded = false;
    {
        SWchunkstream in(bytes);
        loaded = list.Load(in);
    }
    if (!loaded) {
        if (!list.Entries().Empty())
            std::abort();
        return;
    }
    for (const SWlistnode* n = list.Entries().Head(); n != nullptr; n = n->Next()) {
        SWexpression* expression = static_cast<const SWexpressionentry*>(n)->GetExpression();
        const std::optional<std::string> text = expression->GetText();
        const std::unique_ptr<SWproperty> value = SWexpression::Evaluate(expression);
        expression->Execute(*value);
        if (expression->GetText() != text)
            std::abort();
    }
    const std::vector<uint8_t> first = Written(list);
    SWworld other;
    BuildScene(other);
    SWexpressionlist& again = SWexpressionlist::Of(other);
    {
        SWchunkstream in(first);
        if (!again.Load(in))
            std::abort();
    }
    if (Written(again) != first)
        std::abort();
}

} // namespace

// libFuzzer's own hook before the first input: a default length limit of 64 KiB, as long texts are what once made
// compiling quadratic; -max_len on the command line still decides.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static std::vector<char*> args;
    static char limit[] = "-max_len=65536";
    args.assign(*argv, *argv + *argc);
    for (const char* arg : args) {
        if (std::string_view(arg).starts_with("-max_len="))
            return 0;
    }
    args.insert(args.begin() + 1, limit);
    args.push_back(nullptr);
    *argc = static_cast<int>(args.size()) - 1;
    *argv = args.data();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    if ((data[0] & 1) == 0) {
        SWworld world;
        BuildScene(world);
        FuzzText(world, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    } else {
        FuzzRecords(std::span<const uint8_t>(data + 1, size - 1));
    }
    return 0;
}
