#include "engine/behaviour/behaviour_records.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "engine/behaviour/action_kind.h"
#include "engine/behaviour/action_node.h"
#include "engine/behaviour/action_settings.h"
#include "engine/behaviour/event.h"
#include "engine/behaviour/events.h"
#include "engine/behaviour/expression_list.h"
#include "engine/behaviour/key_table.h"
#include "engine/behaviour/motion.h"
#include "engine/behaviour/property.h"
#include "engine/core/data_node.h"
#include "engine/core/read_context.h"
#include "engine/core/record_builder.h"
#include "engine/core/type_tag.h"
#include "engine/core/world.h"
#include "engine/resources/picture.h"

namespace {

constexpr uint32_t kTagEventFields = MakeTag("7399");
constexpr uint32_t kTagVariables = MakeTag("72PS");
constexpr uint32_t kTagActions = MakeTag("72AS");
constexpr uint32_t kTagDelay = MakeTag("7457");
constexpr uint32_t kTagDelayValue = MakeTag("7458");
constexpr uint32_t kTagBackgroundColour = MakeTag("BGBS");
constexpr uint32_t kTagBackgroundPicture = MakeTag("CIPR");
constexpr uint32_t kTagBackgroundTextureName = MakeTag("BGTN");

// Version gates of the record layouts (the world format version of the file read).
constexpr uint32_t kVisibilitySubtreeVersion = 900; // kinds 21 and 22 gained their subtree byte
constexpr uint32_t kStopQueueIdsVersion = 900;      // kind 31 gained its id list
constexpr uint32_t kBackgroundRecordsVersion = 930; // kind 19 moved from a packed colour to sub-records
constexpr uint32_t kStopMotionsSubtreeVersion = 951;

struct EventTypeTag {
    uint32_t type;
    uint32_t tag;
};
constexpr EventTypeTag kEventTags[] = {
    {0, MakeTag("7300")},  {1, MakeTag("7301")},  {2, MakeTag("7302")},  {3, MakeTag("7303")},  {4, MakeTag("7304")},
    {5, MakeTag("7305")},  {6, MakeTag("7306")},  {7, MakeTag("7307")},  {16, MakeTag("7308")}, {17, MakeTag("7309")},
    {18, MakeTag("7310")}, {19, MakeTag("7311")}, {20, MakeTag("7312")}, {21, MakeTag("7313")},
};

std::optional<uint32_t> EventTag(uint32_t type)
{
    for (const EventTypeTag& row : kEventTags)
        if (row.type == type)
            return row.tag;
    return std::nullopt;
}

std::optional<uint32_t> EventTypeOfTag(uint32_t tag)
{
    for (const EventTypeTag& row : kEventTags)
        if (row.tag == tag)
            return row.type;
    return std::nullopt;
}

struct KindTag {
    int32_t kind;
    uint32_t tag;
    int revision;
};

// Newest form first for each kind: the writer takes the first row of a kind.
constexpr KindTag kKindTags[] = {
    {0, MakeTag("7400"), 0},  {1, MakeTag("7401"), 0},  {2, MakeTag("7402"), 0},  {3, MakeTag("7403"), 0},
    {4, MakeTag("7441"), 2},  {4, MakeTag("7432"), 1},  {4, MakeTag("7404"), 0},  {5, MakeTag("7405"), 0},
    {6, MakeTag("7406"), 0},  {7, MakeTag("7407"), 0},  {8, MakeTag("7408"), 0},  {10, MakeTag("7409"), 0},
    {11, MakeTag("7410"), 0}, {12, MakeTag("7411"), 0}, {13, MakeTag("7412"), 0}, {14, MakeTag("7413"), 0},
    {15, MakeTag("7414"), 0}, {16, MakeTag("7415"), 0}, {19, MakeTag("7418"), 0}, {20, MakeTag("7419"), 0},
    {21, MakeTag("7420"), 0}, {22, MakeTag("7421"), 0}, {23, MakeTag("7422"), 0}, {24, MakeTag("7423"), 0},
    {25, MakeTag("7424"), 0}, {26, MakeTag("7425"), 0}, {27, MakeTag("7426"), 0}, {28, MakeTag("7427"), 0},
    {29, MakeTag("7428"), 0}, {30, MakeTag("7429"), 0}, {31, MakeTag("7430"), 0}, {32, MakeTag("7431"), 0},
    {33, MakeTag("7433"), 0}, {34, MakeTag("7437"), 1}, {34, MakeTag("7434"), 0}, {35, MakeTag("7435"), 0},
    {37, MakeTag("7495"), 2}, {37, MakeTag("7464"), 1}, {37, MakeTag("7438"), 0}, {38, MakeTag("7439"), 0},
    {39, MakeTag("7440"), 0}, {40, MakeTag("7487"), 1}, {40, MakeTag("7442"), 0}, {41, MakeTag("7445"), 0},
    {42, MakeTag("7446"), 0}, {43, MakeTag("7447"), 0}, {44, MakeTag("7448"), 0}, {45, MakeTag("7449"), 0},
    {46, MakeTag("7455"), 0}, {47, MakeTag("7456"), 0}, {48, MakeTag("7459"), 0}, {49, MakeTag("7460"), 0},
    {50, MakeTag("7461"), 0}, {51, MakeTag("7462"), 0}, {52, MakeTag("7465"), 0}, {53, MakeTag("7470"), 0},
    {54, MakeTag("7471"), 0}, {55, MakeTag("7473"), 0}, {56, MakeTag("7474"), 0}, {57, MakeTag("7482"), 0},
    {58, MakeTag("7483"), 0}, {59, MakeTag("7484"), 0}, {60, MakeTag("7485"), 0}, {62, MakeTag("7493"), 0},
    {63, MakeTag("7494"), 0}, {64, MakeTag("7496"), 0},
};

bool TakesStringArguments(int32_t kind)
{
    switch (kind) {
    case 2:
    case 3:
    case 4:
    case 5:
    case 7:
    case 8:
    case 20:
    case 21:
    case 22:
    case 32:
    case 33:
    case 34:
    case 37:
    case 38:
    case 62:
    case 63:
    case 64:
        return true;
    default:
        return (kind >= 10 && kind <= 15) || (kind >= 26 && kind <= 29) || (kind >= 40 && kind <= 60);
    }
}

// A packed 0x00RRGGBB colour from components that may lie outside 0..1 (an expression or an old file may have
// put them there): each is clamped first, so one never carries into its neighbour or wraps.
uint32_t PackColour(float r, float g, float b)
{
    const auto byte = [](float c) -> uint32_t {
        const float clamped = std::isnan(c) ? 0.0f : std::clamp(c, 0.0f, 1.0f);
        return static_cast<uint32_t>(clamped * 255.0f + 0.5f);
    };
    return (byte(r) << 16) | (byte(g) << 8) | byte(b);
}

void UnpackColour(uint32_t colour, SWbackgroundaction::Settings& s)
{
    s.red = static_cast<float>((colour >> 16) & 0xFF) * 0.003921569f;
    s.green = static_cast<float>((colour >> 8) & 0xFF) * 0.003921569f;
    s.blue = static_cast<float>(colour & 0xFF) * 0.003921569f;
}

// Whole milliseconds of a timer interval; an interval that has no such value (negative, not a number, beyond the
// field) is stored at the nearest end instead of leaving the conversion undefined.
uint32_t TimerIntervalField(float ms)
{
    if (std::isnan(ms) || ms <= 0.0f)
        return 0;
    if (ms >= 4294967295.0f)
        return 0xFFFFFFFFu;
    return static_cast<uint32_t>(ms);
}

const SWworld* WorldOf(const SWevent& event)
{
    return event.GetWorld() != nullptr ? event.GetWorld()->AsWorld() : nullptr;
}

// A u32 count, then up to that many strings; the loop stops at the first string that cannot be read.
template <typename Add> bool ReadStringList(SWchunkstream& in, Add&& add)
{
    uint32_t count = 0;
    if (!in.ReadU32(count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        std::optional<std::string> text;
        if (!in.ReadString(text))
            return false;
        add(std::move(text));
    }
    return true;
}

void WriteNameList(SWchunkstream& out, const SWlist* list, bool objectEntries)
{
    out.WriteU32(list != nullptr ? static_cast<uint32_t>(list->Count()) : 0);
    if (list == nullptr)
        return;
    for (const SWlistnode* n = list->Head(); n != nullptr; n = n->Next()) {
        if (objectEntries)
            out.WriteString(static_cast<const SWobjectnameentry*>(n)->name);
        else
            out.WriteString(static_cast<const SWnameentry*>(n)->name);
    }
}

// -- Event fields ("7399")

void WriteEventFields(const SWevent& event, SWchunkstream& out)
{
    out.WriteU32(event.GetId());
    const auto type = static_cast<EventType>(event.GetType());
    switch (type) {
    case EventType::kTimerEvent:
        out.WriteU32(TimerIntervalField(event.GetTimerInterval()));
        break;
    case EventType::kLeftClickObject:
    case EventType::kRightClickObject:
    case EventType::kMiddleClickObject:
    case EventType::kMotionFinished:
        out.WriteU8(event.GetSequenceMode());
        WriteNameList(out, event.GetObjectList(), true);
        break;
    case EventType::kSoundFinished:
        WriteNameList(out, event.GetSoundList(), false);
        break;
    case EventType::kPropertyChanged: {
        // Only variables with a qualified name can be named again after loading; any other is written unnamed.
        std::optional<std::string> name = event.GetWatchedVariableName();
        const SWworld* const world = WorldOf(event);
        if (const SWproperty* watched = event.GetWatchedVariable(); watched != nullptr && world != nullptr)
            name = world->GetQualifiedName(*watched);
        out.WriteString(name);
        const std::optional<std::string>& second = event.GetSecondVariableName();
        if (second && !second->empty()) {
            out.WriteString(second);
        } else {
            out.WriteString(std::string_view());
            out.WriteU32(event.GetWatchConstant().value_or(0));
        }
        out.WriteU8(event.GetWatchOption(0));
        out.WriteU8(event.GetWatchOption(1));
        break;
    }
    case EventType::kKeyPressed:
    case EventType::kKeyReleased: {
        out.WriteU8(event.GetAllKeysFlag());
        const SWlist* const keys = event.GetKeyEntry();
        uint32_t count = 0;
        if (keys != nullptr)
            for (const SWlistnode* n = keys->Head(); n != nullptr; n = n->Next())
                count += static_cast<const SWkeyreference*>(n)->key != nullptr ? 1 : 0;
        out.WriteU32(count);
        if (keys != nullptr)
            for (const SWlistnode* n = keys->Head(); n != nullptr; n = n->Next())
                if (const SWkeyentry* key = static_cast<const SWkeyreference*>(n)->key)
                    out.WriteI32(key->GetCode());
        break;
    }
    case EventType::kLoadFinished: {
        const SWtaggednamelist* const list = event.GetTaggedNameList();
        out.WriteU32(list != nullptr ? list->GetTag() : MakeTag("TXTB"));
        out.WriteU32(0);
        WriteNameList(out, list, false);
        break;
    }
    default:
        break;
    }
    out.WriteU8(event.IsEnabled() ? 1 : 0);
    out.WriteU8(event.GetFlag());
    out.WriteString(event.GetName());
}

bool ReadEventFields(SWevent& event, SWchunkstream& in)
{
    const uint32_t id = ReadObjectId(in);
    if (in.Status() != SWchunkstream::kStatusGood)
        return false;
    event.SetId(id);
    const auto type = static_cast<EventType>(event.GetType());
    switch (type) {
    case EventType::kTimerEvent: {
        uint32_t ms = 0;
        if (!in.ReadU32(ms))
            return false;
        event.SetTimerInterval(static_cast<float>(ms));
        break;
    }
    case EventType::kLeftClickObject:
    case EventType::kRightClickObject:
    case EventType::kMiddleClickObject:
    case EventType::kMotionFinished: {
        uint8_t sequence = 0;
        if (!in.ReadU8(sequence))
            return false;
        event.SetSequenceMode(sequence);
        if (!ReadStringList(in, [&](std::optional<std::string> name) { event.AddObjectName(std::move(name)); }))
            return false;
        break;
    }
    case EventType::kSoundFinished:
        if (!ReadStringList(in, [&](std::optional<std::string> name) { event.AddSoundName(std::move(name)); }))
            return false;
        break;
    case EventType::kPropertyChanged: {
        std::optional<std::string> watched;
        std::optional<std::string> second;
        if (!in.ReadString(watched) || !in.ReadString(second))
            return false;
        event.SetWatchedVariableName(std::move(watched));
        if (second) {
            event.SetSecondVariableName(std::move(second));
        } else {
            uint32_t bits = 0;
            if (!in.ReadU32(bits))
                return false;
            event.SetWatchConstant(bits);
        }
        uint8_t options[2] = {};
        if (!in.ReadU8(options[0]) || !in.ReadU8(options[1]))
            return false;
        event.SetWatchOption(0, options[0]);
        event.SetWatchOption(1, options[1]);
        break;
    }
    case EventType::kKeyPressed:
    case EventType::kKeyReleased: {
        uint8_t all = 0;
        uint32_t count = 0;
        if (!in.ReadU8(all) || !in.ReadU32(count))
            return false;
        event.SetAllKeysFlag(all);
        SWevents* const owner = event.GetWorld();
        SWworld* const world = owner != nullptr ? owner->AsWorld() : nullptr;
        for (uint32_t i = 0; i < count; ++i) {
            int32_t code = 0;
            if (!in.ReadI32(code))
                return false;
            // A code the key table does not know names no key: it is left out rather than kept as an empty entry.
            if (world != nullptr)
                if (const SWkeyentry* key = world->GetKeyTable().FindKeyByCode(code))
                    event.AddKey(key);
        }
        break;
    }
    case EventType::kLoadFinished: {
        uint32_t tag = 0;
        uint32_t zero = 0;
        if (!in.ReadU32(tag) || !in.ReadU32(zero))
            return false;
        SWtaggednamelist* const list = event.GetTaggedNameList();
        if (list != nullptr)
            list->SetTag(tag);
        if (!ReadStringList(in, [&](std::optional<std::string> name) {
                if (list != nullptr)
                    list->AddName(std::move(name));
            }))
            return false;
        break;
    }
    default:
        break;
    }
    uint8_t enabled = 0;
    uint8_t reArm = 0;
    std::optional<std::string> name;
    if (!in.ReadU8(enabled) || !in.ReadU8(reArm) || !in.ReadString(name))
        return false;
    event.SetEnabled(enabled != 0);
    event.SetFlag(reArm);
    event.SetName(std::move(name));
    return in.Status() == SWchunkstream::kStatusGood;
}

// -- Part B

const char* ArgumentText(const SWdatanode& argument)
{
    return argument.GetType() == SWdatanode::kString ? argument.GetText() : nullptr;
}

const SWdatanode* FirstArgument(const SWactionnode& action)
{
    return static_cast<const SWdatanode*>(action.GetArguments().Head());
}

uint32_t ExpressionEntryId(const SWactionnode& action, const SWdatanode& argument)
{
    if (argument.GetType() == SWdatanode::kInt) // an entry still waited for by its id
        return static_cast<uint32_t>(*static_cast<const int32_t*>(argument.GetData(SWdatanode::kInt)));
    const SWworld* const world = action.GetWorld();
    const SWexpressionlist* const list = world != nullptr ? SWexpressionlist::Find(*world) : nullptr;
    const void* const entry =
        argument.GetType() == SWdatanode::kObject ? argument.GetData(SWdatanode::kObject) : nullptr;
    if (list == nullptr || entry == nullptr || !list->Holds(entry))
        return 0;
    return static_cast<const SWexpressionentry*>(entry)->GetId();
}

void AddExpressionArgument(SWactionnode& action, uint32_t id)
{
    SWworld* const world = action.GetWorld();
    SWexpressionlist* const list = world != nullptr && id != 0 ? SWexpressionlist::Find(*world) : nullptr;
    SWexpressionentry* const entry = list != nullptr ? list->FindById(id) : nullptr;
    if (entry == nullptr && id != 0) {
        // Not read yet: the id waits in the argument's place until ResolveLoadedReferences finds the entry.
        const auto pending = static_cast<int32_t>(id);
        action.AddArgument(&pending, SWdatanode::kInt, true);
        return;
    }
    // A missing entry keeps its place, so the arguments after it keep theirs.
    action.AddArgument(entry, SWdatanode::kObject, false);
}

void WriteBackground(const SWbackgroundaction& action, SWchunkstream& out)
{
    {
        SWrecordbuilder colour(out, kTagBackgroundColour);
        colour.Stream().WriteU32(PackColour(action.settings.red, action.settings.green, action.settings.blue));
        colour.Stream().WriteU32(action.settings.mode);
        colour.Finish();
    }
    if (SWtexture* const picture = action.GetOwnPicture()) {
        SWrecordbuilder record(out, kTagBackgroundPicture);
        picture->Write(record.Stream());
        record.Finish();
        return;
    }
    std::optional<std::string> name = action.GetTextureName();
    if (!name)
        if (const SWtexture* texture = action.GetTexture(); texture != nullptr && !texture->GetName().empty())
            name = texture->GetName();
    if (name) {
        SWrecordbuilder record(out, kTagBackgroundTextureName);
        record.Stream().WriteString(name);
        record.Finish();
    }
}

bool ReadBackground(SWbackgroundaction& action, SWchunkstream& in)
{
    if (in.FormatVersion() != 0 && in.FormatVersion() < kBackgroundRecordsVersion) {
        uint32_t colour = 0;
        if (!in.ReadU32(colour))
            return false;
        UnpackColour(colour, action.settings);
        return true;
    }
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        if (tag != kTagBackgroundColour && tag != kTagBackgroundPicture && tag != kTagBackgroundTextureName) {
            if (!in.SkipRecord())
                return false;
            continue;
        }
        const std::unique_ptr<SWchunkstream> body = in.OpenChild();
        if (tag == kTagBackgroundColour) {
            uint32_t colour = 0;
            uint32_t mode = 0;
            if (!body->ReadU32(colour) || !body->ReadU32(mode))
                return false;
            UnpackColour(colour, action.settings);
            action.settings.mode = mode;
        } else if (tag == kTagBackgroundPicture) {
            auto picture = std::make_unique<SWpicture>();
            if (!picture->Read(*body))
                return false;
            action.SetOwnPicture(std::move(picture));
        } else {
            std::optional<std::string> name;
            if (!body->ReadString(name))
                return false;
            action.SetTextureName(std::move(name));
        }
        if (body->Status() != SWchunkstream::kStatusGood)
            return false;
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

void WritePartB(const SWactionnode& action, SWchunkstream& out)
{
    const int32_t kind = action.GetKindId();
    if (TakesStringArguments(kind)) {
        out.WriteU32(static_cast<uint32_t>(action.GetArguments().Count()));
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next())
            out.WriteString(ArgumentText(*static_cast<const SWdatanode*>(n)));
        return;
    }
    switch (kind) {
    case SWactionnode::kHostCallbackKind: {
        const SWactionkind* const own = action.GetKind();
        out.WriteString(own != nullptr ? own->GetFirstText() : std::nullopt);
        out.WriteString(own != nullptr ? own->GetParameter() : std::nullopt);
        break;
    }
    case 19:
        if (const auto* background = dynamic_cast<const SWbackgroundaction*>(&action))
            WriteBackground(*background, out);
        break;
    case 23: {
        const SWdatanode* const first = FirstArgument(action);
        const auto* byte = first != nullptr ? static_cast<const uint8_t*>(first->GetData(SWdatanode::kByte)) : nullptr;
        out.WriteU8(byte != nullptr ? *byte : (first == nullptr ? 1 : 0));
        break;
    }
    case 35:
        out.WriteU32(static_cast<uint32_t>(action.GetArguments().Count()));
        for (const SWlistnode* n = action.GetArguments().Head(); n != nullptr; n = n->Next())
            out.WriteU32(ExpressionEntryId(action, *static_cast<const SWdatanode*>(n)));
        break;
    case 39: {
        const SWdatanode* const first = FirstArgument(action);
        const auto* value = first != nullptr ? static_cast<const int32_t*>(first->GetData(SWdatanode::kInt)) : nullptr;
        out.WriteI32(value != nullptr ? *value : 0);
        break;
    }
    default:
        break;
    }
}

bool ReadPartB(SWactionnode& action, SWchunkstream& in, int32_t readKind)
{
    if (TakesStringArguments(readKind)) {
        // The URL action takes its two arguments by position: an empty URL stays, or its frame name would
        // become the URL.
        const bool keepEmpty = readKind == 10;
        // Arguments hold C texts: a stored text that starts with a zero byte is an empty one.
        return ReadStringList(in, [&](std::optional<std::string> text) {
            if (text && text->c_str()[0] != '\0')
                action.AddArgument(text->c_str(), SWdatanode::kString, true);
            else if (keepEmpty)
                action.AddArgument("", SWdatanode::kString, true);
        });
    }
    switch (readKind) {
    case 19: {
        auto* background = dynamic_cast<SWbackgroundaction*>(&action);
        return background != nullptr && ReadBackground(*background, in);
    }
    case 23: {
        uint8_t value = 0;
        if (!in.ReadU8(value))
            return false;
        action.AddArgument(&value, SWdatanode::kByte, true);
        return true;
    }
    case 24: {
        const uint32_t id = ReadReferencedId(in);
        if (in.Status() != SWchunkstream::kStatusGood)
            return false;
        if (id != 0)
            AddExpressionArgument(action, id);
        return true;
    }
    case 35: {
        uint32_t count = 0;
        if (!in.ReadU32(count))
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t id = ReadReferencedId(in);
            if (in.Status() != SWchunkstream::kStatusGood)
                return false;
            AddExpressionArgument(action, id);
        }
        return true;
    }
    case 39: {
        // The cursor's id: a reference, mapped as every other is when the world is read with fresh ids.
        const auto value = static_cast<int32_t>(ReadReferencedId(in));
        if (in.Status() != SWchunkstream::kStatusGood)
            return false;
        if (SWdatanode* first = static_cast<SWdatanode*>(action.GetArguments().Head());
            first != nullptr && first->GetType() == SWdatanode::kInt)
            first->SetInt(value);
        else
            action.AddArgument(&value, SWdatanode::kInt, true);
        return true;
    }
    default:
        return true;
    }
}

// -- Part C

void WriteMatrix(SWchunkstream& out, const SWmatrix& m, float last)
{
    for (int i = 0; i < 15; ++i)
        out.WriteF32(m[i]);
    out.WriteF32(last);
}

void WritePartC(const SWactionnode& action, SWchunkstream& out)
{
    if (const auto* a = dynamic_cast<const SWoldanimationaction*>(&action)) {
        const auto& s = a->settings;
        out.WriteU8(s.loopForever);
        out.WriteU8(s.pingPong);
        out.WriteU8(s.fromCurrentFrame);
        out.WriteI32(s.passCount);
        out.WriteU8(s.spare[0]);
        out.WriteU8(s.spare[1]);
        out.WriteU8(s.hierarchy);
        out.WriteI32(s.clipId);
        out.WriteI32(s.startFrame);
        out.WriteI32(s.endFrame);
        out.WriteU8(s.axisLock);
        out.WriteU8(s.useDuration);
        out.WriteF64(s.durationSeconds);
        out.WriteF64(s.transitionSeconds);
    } else if (const auto* j = dynamic_cast<const SWoldjumpaction*>(&action)) {
        out.WriteU8(j->settings.hierarchy);
        out.WriteI32(j->settings.clipId);
        out.WriteI32(j->settings.frame);
        out.WriteU8(j->settings.axisLock);
        out.WriteF64(j->settings.transitionSeconds);
    } else if (const auto* arc = dynamic_cast<const SWoldarcballaction*>(&action)) {
        for (uint8_t mode : arc->settings.buttonModes)
            out.WriteU8(mode);
        for (float v : arc->settings.values)
            out.WriteF32(v);
    } else if (const auto* snd = dynamic_cast<const SWsoundaction*>(&action)) {
        out.WriteU8(snd->settings.playOption1);
        out.WriteU32(snd->settings.playOption2);
        out.WriteU32(snd->settings.startMs);
        out.WriteU32(snd->settings.endMs);
    } else if (const auto* vis = dynamic_cast<const SWvisibilityaction*>(&action)) {
        out.WriteU8(vis->settings.subtree);
    } else if (const auto* c = dynamic_cast<const SWconditionaction*>(&action)) {
        const auto& s = c->settings;
        out.WriteU32(s.operand1Id == SWactionnode::kUnset ? 0 : s.operand1Id);
        const uint32_t second = s.operand2Id == SWactionnode::kUnset ? 0 : s.operand2Id;
        out.WriteU32(second);
        if (second == 0) {
            uint32_t bits = 0;
            if (s.constant)
                std::memcpy(&bits, &*s.constant, sizeof bits);
            out.WriteU32(bits);
        }
        out.WriteU8(s.mask);
        out.WriteU8(s.changedOnly);
    } else if (const auto* t = dynamic_cast<const SWoldtranslationaction*>(&action)) {
        out.WriteF32(t->settings.x);
        out.WriteF32(t->settings.y);
        out.WriteF32(t->settings.z);
        out.WriteU32(t->settings.durationMs);
        out.WriteU8(t->settings.continuous);
    } else if (const auto* r = dynamic_cast<const SWoldrotationaction*>(&action)) {
        out.WriteF32(r->settings.rotation.x);
        out.WriteF32(r->settings.rotation.y);
        out.WriteF32(r->settings.rotation.z);
        out.WriteF32(r->settings.rotation.w);
        out.WriteU32(r->settings.durationMs);
        out.WriteU8(r->settings.continuous);
    } else if (const auto* q = dynamic_cast<const SWqueueaction*>(&action)) {
        out.WriteU8(q->IsLooping() ? 1 : 0);
    } else if (const auto* sq = dynamic_cast<const SWstopqueueaction*>(&action)) {
        out.WriteU32(static_cast<uint32_t>(sq->GetIds().size()));
        for (uint32_t id : sq->GetIds())
            out.WriteU32(id);
    } else if (const auto* reset = dynamic_cast<const SWresetaction*>(&action)) {
        // A full reset is written in the old form, the only one that can say so.
        out.WriteU8(reset->settings.subtree);
        if (reset->settings.fullReset == 0) {
            out.WriteU8(reset->settings.position);
            out.WriteU8(reset->settings.rotation);
        }
    } else if (const auto* st = dynamic_cast<const SWstereoaction*>(&action)) {
        const auto& s = st->settings;
        out.WriteU8(s.eye);
        out.WriteU8(s.stereoOn);
        out.WriteF32(s.separation);
        out.WriteF32(s.value2);
        out.WriteU8(s.byte3);
        out.WriteF32(s.value3);
        out.WriteF32(s.value5);
        out.WriteF32(s.value6);
        out.WriteU8(s.byte4);
        out.WriteF32(s.value4);
        out.WriteI32(s.int1);
        out.WriteF32(s.value7);
        out.WriteF32(s.value8);
        out.WriteF32(s.value9);
        out.WriteU8(s.byte5);
        out.WriteU8(s.byte6);
    } else if (const auto* host = dynamic_cast<const SWhostmessageaction*>(&action)) {
        out.WriteU8(host->sendVariable);
    } else if (const auto* stop = dynamic_cast<const SWstopmotionsaction*>(&action)) {
        out.WriteU8(stop->all);
        out.WriteU32(static_cast<uint32_t>(stop->GetIds().size()));
        for (uint32_t id : stop->GetIds())
            out.WriteU32(id);
        out.WriteU8(stop->subtree);
    } else if (const auto* p = dynamic_cast<const SWparticleaction*>(&action)) {
        if (action.GetKindId() == 48) {
            out.WriteU8(p->start);
            out.WriteBytes(p->opaque.data(), p->opaque.size());
        }
    } else if (const auto* load = dynamic_cast<const SWimportvtoactionnode*>(&action)) {
        const auto& s = load->settings;
        out.WriteString(s.fileName);
        out.WriteI32(s.index);
        out.WriteU8(s.byte1);
        out.WriteU8(s.byte2);
        WriteMatrix(out, s.placement, s.spare2 != 0 ? 1.0f : 0.0f);
    } else if (const auto* unload = dynamic_cast<const SWunloadworldaction*>(&action)) {
        out.WriteU8(unload->byte1);
        out.WriteU8(unload->byte2);
    } else if (const auto* show = dynamic_cast<const SWshowworldaction*>(&action)) {
        out.WriteU8(show->show);
        out.WriteU8(show->byte2);
        out.WriteU8(show->byte3);
    } else if (const auto* label = dynamic_cast<const SWhotspotlabelaction*>(&action)) {
        out.WriteU8(label->mode);
    } else if (const SWmotion* motion = action.GetMotion()) {
        motion->Save(out);
    }
}

bool ReadPartC(SWactionnode& action, SWchunkstream& in, int32_t readKind, int revision)
{
    const uint32_t version = in.FormatVersion();
    if (readKind == 24)
        return true; // an old expression action has no settings
    if (auto* a = dynamic_cast<SWoldanimationaction*>(&action)) {
        auto& s = a->settings;
        in.ReadU8(s.loopForever);
        in.ReadU8(s.pingPong);
        in.ReadU8(s.fromCurrentFrame);
        in.ReadI32(s.passCount);
        in.ReadU8(s.spare[0]);
        in.ReadU8(s.spare[1]);
        in.ReadU8(s.hierarchy);
        in.ReadI32(s.clipId);
        in.ReadI32(s.startFrame);
        in.ReadI32(s.endFrame);
        in.ReadU8(s.axisLock);
        in.ReadU8(s.useDuration);
        in.ReadF64(s.durationSeconds);
        in.ReadF64(s.transitionSeconds);
    } else if (auto* j = dynamic_cast<SWoldjumpaction*>(&action)) {
        in.ReadU8(j->settings.hierarchy);
        in.ReadI32(j->settings.clipId);
        in.ReadI32(j->settings.frame);
        in.ReadU8(j->settings.axisLock);
        in.ReadF64(j->settings.transitionSeconds);
    } else if (auto* arc = dynamic_cast<SWoldarcballaction*>(&action)) {
        if (revision >= 1)
            for (uint8_t& mode : arc->settings.buttonModes)
                in.ReadU8(mode);
        if (revision >= 2)
            for (float& v : arc->settings.values)
                in.ReadF32(v);
    } else if (auto* snd = dynamic_cast<SWsoundaction*>(&action)) {
        in.ReadU8(snd->settings.playOption1);
        in.ReadU32(snd->settings.playOption2);
        in.ReadU32(snd->settings.startMs);
        in.ReadU32(snd->settings.endMs);
    } else if (auto* vis = dynamic_cast<SWvisibilityaction*>(&action)) {
        if (version == 0 || version >= kVisibilitySubtreeVersion)
            in.ReadU8(vis->settings.subtree);
    } else if (auto* c = dynamic_cast<SWconditionaction*>(&action)) {
        auto& s = c->settings;
        const uint32_t first = ReadReferencedId(in);
        const uint32_t second = ReadReferencedId(in);
        s.operand1Id = first == 0 ? SWactionnode::kUnset : first;
        s.operand2Id = second == 0 ? SWactionnode::kUnset : second;
        if (second == 0) {
            // A stored 0 is the constant 0.0 as much as "no constant": keeping it keeps "x == 0" tests working.
            float constant = 0.0f;
            in.ReadF32(constant);
            s.constant = constant;
        }
        in.ReadU8(s.mask);
        in.ReadU8(s.changedOnly);
    } else if (auto* t = dynamic_cast<SWoldtranslationaction*>(&action)) {
        in.ReadF32(t->settings.x);
        in.ReadF32(t->settings.y);
        in.ReadF32(t->settings.z);
        in.ReadU32(t->settings.durationMs);
        in.ReadU8(t->settings.continuous);
    } else if (auto* r = dynamic_cast<SWoldrotationaction*>(&action)) {
        in.ReadF32(r->settings.rotation.x);
        in.ReadF32(r->settings.rotation.y);
        in.ReadF32(r->settings.rotation.z);
        in.ReadF32(r->settings.rotation.w);
        in.ReadU32(r->settings.durationMs);
        in.ReadU8(r->settings.continuous);
    } else if (auto* q = dynamic_cast<SWqueueaction*>(&action)) {
        uint8_t loop = 0;
        in.ReadU8(loop);
        q->SetLoop(loop);
    } else if (auto* sq = dynamic_cast<SWstopqueueaction*>(&action)) {
        if (version == 0 || version >= kStopQueueIdsVersion) {
            uint32_t count = 0;
            if (!in.ReadU32(count))
                return false;
            for (uint32_t i = 0; i < count; ++i) {
                uint32_t id = 0;
                if (!in.ReadU32(id))
                    return false;
                sq->AddId(id);
            }
        }
    } else if (auto* reset = dynamic_cast<SWresetaction*>(&action)) {
        in.ReadU8(reset->settings.subtree);
        if (revision == 0) {
            reset->settings.fullReset = 1;
        } else {
            in.ReadU8(reset->settings.position);
            in.ReadU8(reset->settings.rotation);
        }
    } else if (auto* st = dynamic_cast<SWstereoaction*>(&action)) {
        auto& s = st->settings;
        in.ReadU8(s.eye);
        in.ReadU8(s.stereoOn);
        if (revision == 0) {
            s.byte3 = 0;
            s.byte5 = 0;
            s.byte6 = 1;
        } else {
            in.ReadF32(s.separation);
            in.ReadF32(s.value2);
        }
        if (revision >= 2) {
            in.ReadU8(s.byte3);
            in.ReadF32(s.value3);
            in.ReadF32(s.value5);
            in.ReadF32(s.value6);
            in.ReadU8(s.byte4);
            in.ReadF32(s.value4);
            in.ReadI32(s.int1);
            in.ReadF32(s.value7);
            in.ReadF32(s.value8);
            in.ReadF32(s.value9);
            in.ReadU8(s.byte5);
            in.ReadU8(s.byte6);
        }
    } else if (auto* host = dynamic_cast<SWhostmessageaction*>(&action)) {
        if (revision >= 1)
            in.ReadU8(host->sendVariable);
    } else if (auto* stop = dynamic_cast<SWstopmotionsaction*>(&action)) {
        uint32_t count = 0;
        if (!in.ReadU8(stop->all) || !in.ReadU32(count))
            return false;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t id = 0;
            if (!in.ReadU32(id))
                return false;
            stop->AddTarget(id);
        }
        stop->subtree = 0;
        if (version == 0 || version >= kStopMotionsSubtreeVersion)
            in.ReadU8(stop->subtree);
    } else if (auto* p = dynamic_cast<SWparticleaction*>(&action)) {
        if (action.GetKindId() == 48) {
            in.ReadU8(p->start);
            in.ReadBytes(p->opaque.data(), p->opaque.size());
        }
    } else if (auto* load = dynamic_cast<SWimportvtoactionnode*>(&action)) {
        auto& s = load->settings;
        in.ReadString(s.fileName);
        in.ReadI32(s.index);
        in.ReadU8(s.byte1);
        in.ReadU8(s.byte2);
        for (int i = 0; i < 16; ++i)
            in.ReadF32(s.placement[i]);
        s.spare2 = s.placement[15] == 1.0f ? 1 : 0;
        s.placement[15] = 1.0f;
    } else if (auto* unload = dynamic_cast<SWunloadworldaction*>(&action)) {
        in.ReadU8(unload->byte1);
        in.ReadU8(unload->byte2);
    } else if (auto* show = dynamic_cast<SWshowworldaction*>(&action)) {
        in.ReadU8(show->show);
        in.ReadU8(show->byte2);
        in.ReadU8(show->byte3);
    } else if (auto* label = dynamic_cast<SWhotspotlabelaction*>(&action)) {
        in.ReadU8(label->mode);
    } else if (SWmotion* motion = action.GetMotion()) {
        if (!motion->Load(in))
            return false;
        if (auto* nodeMotion = dynamic_cast<SWnodemotion*>(motion))
            nodeMotion->SetActionId(action.GetActionId());
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

} // namespace

// -- Tags

std::optional<uint32_t> ActionRecordTag(const SWactionnode& action)
{
    const int32_t kind = action.GetKindId();
    if (kind == 34)
        if (const auto* reset = dynamic_cast<const SWresetaction*>(&action); reset && reset->settings.fullReset)
            return MakeTag("7434");
    for (const KindTag& row : kKindTags)
        if (row.kind == kind)
            return row.tag;
    return std::nullopt;
}

std::optional<SWactionrecordform> FindActionRecordForm(uint32_t tag)
{
    for (const KindTag& row : kKindTags)
        if (row.tag == tag)
            return SWactionrecordform{row.kind, row.revision};
    return std::nullopt;
}

// -- Actions

bool SaveActionBody(const SWactionnode& action, SWchunkstream& out)
{
    out.WriteU8(action.IsTargetTrigger() ? 1 : 0);
    out.WriteU32(action.GetActionId());
    out.WriteU32(action.GetThenLink());
    out.WriteU32(action.GetElseLink());
    out.WriteU32(action.GetQueueLink());
    out.WriteU8(action.IsWaiting() ? 1 : 0);
    WritePartB(action, out);
    if (action.GetKindId() != SWactionnode::kHostCallbackKind)
        WritePartC(action, out);
    return out.Status() == SWchunkstream::kStatusGood;
}

namespace {

bool ReadPartA(SWactionnode& action, SWchunkstream& in, SWeventsreadstate& state)
{
    uint8_t trigger = 0;
    uint32_t id = 0;
    uint32_t links[3] = {};
    uint8_t wait = 0;
    if (!in.ReadU8(trigger) || !in.ReadU32(id) || !in.ReadU32(links[0]) || !in.ReadU32(links[1]) ||
        !in.ReadU32(links[2]) || !in.ReadU8(wait))
        return false;
    action.SetTargetIsTrigger(trigger);
    action.SetActionId(id);
    action.SetThenLink(links[0]);
    action.SetElseLink(links[1]);
    action.SetQueueLink(links[2]);
    action.SetWait(wait);
    if (id != SWactionnode::kUnset) {
        state.highestActionId = state.anyActionId ? std::max(state.highestActionId, id) : id;
        state.anyActionId = true;
    }
    return true;
}

} // namespace

bool LoadActionBody(SWactionnode& action, SWchunkstream& in, int32_t readKind, int revision, SWeventsreadstate& state)
{
    if (!ReadPartA(action, in, state))
        return false;
    if (!ReadPartB(action, in, readKind))
        return false;
    return ReadPartC(action, in, readKind, revision);
}

bool SaveActionRecords(const SWevent& event, SWchunkstream& out)
{
    for (const SWactionnode* a = event.GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
        const std::optional<uint32_t> tag = ActionRecordTag(*a);
        if (!tag)
            continue;
        SWrecordbuilder record(out, *tag);
        SaveActionBody(*a, record.Stream());
        if (!record.Finish())
            return false;
        SWrecordbuilder delay(out, kTagDelay);
        {
            SWrecordbuilder value(delay.Stream(), kTagDelayValue);
            value.Stream().WriteF64(a->GetDelay());
            value.Finish();
        }
        if (!delay.Finish())
            return false;
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

bool LoadActionRecords(SWevent& event, SWchunkstream& in, SWeventsreadstate& state)
{
    SWevents* const world = event.GetWorld();
    SWactionnode* last = nullptr; // the action the next delay record belongs to
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        if (tag == kTagDelay) {
            if (last == nullptr) {
                if (!in.SkipRecord())
                    return false;
                continue;
            }
            const std::unique_ptr<SWchunkstream> delay = in.OpenChild();
            for (uint32_t inner = delay->PeekTag(); inner != kTagEnd; inner = delay->PeekTag()) {
                if (inner != kTagDelayValue) {
                    if (!delay->SkipRecord())
                        return false;
                    continue;
                }
                const std::unique_ptr<SWchunkstream> value = delay->OpenChild();
                double ms = 0.0;
                if (!value->ReadF64(ms))
                    return false;
                last->SetDelay(ms);
            }
            if (delay->Status() != SWchunkstream::kStatusGood)
                return false;
            continue;
        }
        const std::optional<SWactionrecordform> form = FindActionRecordForm(tag);
        if (!form) {
            if (!in.SkipRecord())
                return false;
            continue;
        }
        if (form->kind == SWactionnode::kHostCallbackKind) {
            const std::unique_ptr<SWchunkstream> body = in.OpenChild();
            SWactionnode* const action = event.CreateHostCallbackAction(std::nullopt, std::nullopt);
            last = action;
            std::optional<std::string> text1;
            std::optional<std::string> text2;
            if (!ReadPartA(*action, *body, state) || !body->ReadString(text1) || !body->ReadString(text2))
                return false;
            action->GetKind()->SetFirstText(std::move(text1));
            action->GetKind()->SetParameter(std::move(text2));
            continue;
        }
        // An old expression action is read into the expression action that replaced it.
        const int32_t createKind = form->kind == 24 ? 35 : form->kind;
        SWactionkind* const kind = world != nullptr ? world->GetActionCategories().FindKind(createKind) : nullptr;
        if (kind == nullptr) {
            // Its delay record follows it and must not land on the action before.
            last = nullptr;
            if (!in.SkipRecord())
                return false;
            continue;
        }
        const std::unique_ptr<SWchunkstream> body = in.OpenChild();
        SWactionnode* const action = event.CreateAction(kind);
        last = action;
        if (action == nullptr || !LoadActionBody(*action, *body, form->kind, form->revision, state))
            return false;
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

// -- Events

bool SaveEventRecord(const SWevent& event, SWchunkstream& out)
{
    {
        SWrecordbuilder fields(out, kTagEventFields);
        WriteEventFields(event, fields.Stream());
        if (!fields.Finish())
            return false;
    }
    {
        SWrecordbuilder variables(out, kTagVariables);
        event.WriteVariables(variables.Stream());
        if (!variables.Finish())
            return false;
    }
    SWrecordbuilder actions(out, kTagActions);
    SaveActionRecords(event, actions.Stream());
    return actions.Finish();
}

bool LoadEventRecord(SWevent& event, SWchunkstream& in, SWeventsreadstate& state)
{
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        if (tag != kTagEventFields && tag != kTagVariables && tag != kTagActions) {
            if (!in.SkipRecord())
                return false;
            continue;
        }
        const std::unique_ptr<SWchunkstream> body = in.OpenChild();
        bool ok = true;
        if (tag == kTagEventFields)
            ok = ReadEventFields(event, *body);
        else if (tag == kTagVariables)
            ok = event.ReadVariables(*body);
        else
            ok = LoadActionRecords(event, *body, state);
        if (!ok || body->Status() != SWchunkstream::kStatusGood)
            return false;
    }
    return in.Status() == SWchunkstream::kStatusGood;
}

bool SWevents::SaveEvents(SWchunkstream& out) const
{
    out.WriteU32(m_nextActionId);
    for (const SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e)) {
        const std::optional<uint32_t> tag = EventTag(e->GetType());
        if (!tag)
            continue;
        SWrecordbuilder record(out, *tag);
        SaveEventRecord(*e, record.Stream());
        if (!record.Finish())
            return false;
    }
    return out.Status() == SWchunkstream::kStatusGood;
}

void SWevents::ReserveStoredIds(SWchunkstream& in)
{
    uint32_t counter = 0; // the action counter: its ids are the events' own, not the process's
    if (!in.ReadU32(counter))
        return;
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        if (!EventTypeOfTag(tag)) {
            if (!in.SkipRecord())
                return;
            continue;
        }
        const std::unique_ptr<SWchunkstream> event = in.OpenChild();
        for (uint32_t part = event->PeekTag(); part != kTagEnd; part = event->PeekTag()) {
            if (part != kTagEventFields && part != kTagVariables) {
                if (!event->SkipRecord())
                    break;
                continue;
            }
            const std::unique_ptr<SWchunkstream> body = event->OpenChild();
            if (part == kTagEventFields)
                ReserveObjectId(*body);
            else
                SWproperties2::ReserveStoredIds(*body);
        }
        if (in.Status() != SWchunkstream::kStatusGood)
            return;
    }
}

bool SWevents::LoadEvents(SWchunkstream& in, std::string* failedEvent)
{
    const uint32_t before = m_nextActionId;
    uint32_t counter = 0;
    if (!in.ReadU32(counter))
        return false;
    SWeventsreadstate state;
    // Ids read never come out of the counter again: it ends past the stored counter and past every id read.
    const auto settleCounter = [&] {
        uint32_t next = std::max(before, counter);
        if (state.anyActionId && state.highestActionId < SWactionnode::kUnset - 1)
            next = std::max(next, state.highestActionId + 1);
        m_nextActionId = next;
    };
    const SWworld* const world = AsWorld();
    const uint32_t build = world != nullptr ? world->GetBuildNumber() : 0;
    uint32_t ordinal = 0;
    for (uint32_t tag = in.PeekTag(); tag != kTagEnd; tag = in.PeekTag()) {
        const std::optional<uint32_t> type = EventTypeOfTag(tag);
        if (!type) {
            if (!in.SkipRecord()) {
                settleCounter();
                return false;
            }
            continue;
        }
        ++ordinal;
        SWevent* const event = AddEventOfType(*type);
        bool ok = false;
        {
            const std::unique_ptr<SWchunkstream> body = in.OpenChild();
            ok = LoadEventRecord(*event, *body, state);
        }
        if (!ok) {
            // Only the event that failed goes: the others keep every argument that names it, since a valid event
            // may bear the same name.
            if (failedEvent != nullptr) {
                *failedEvent = "number " + std::to_string(ordinal);
                if (event->GetName())
                    *failedEvent += " (\"" + *event->GetName() + "\")";
            }
            UnlinkEvent(event);
            delete event;
            RaiseStructureGeneration();
            settleCounter();
            return false;
        }
        event->ConvertOldActionTimes(build);
    }
    settleCounter();
    return in.Status() == SWchunkstream::kStatusGood;
}

void SWevents::ResolveLoadedReferences()
{
    SWworld* const world = AsWorld();
    const SWexpressionlist* const list = world != nullptr ? SWexpressionlist::Find(*world) : nullptr;
    if (list == nullptr)
        return;
    for (SWevent* e = GetFirstEvent(); e != nullptr; e = GetNextEvent(e))
        for (SWactionnode* a = e->GetFirstAction(); a != nullptr; a = SWevent::GetNextAction(a)) {
            if (a->GetKindId() != 35)
                continue;
            for (SWlistnode* n = a->GetArguments().Head(); n != nullptr; n = n->Next()) {
                auto* argument = static_cast<SWdatanode*>(n);
                if (argument->GetType() != SWdatanode::kInt)
                    continue;
                const auto id =
                    static_cast<uint32_t>(*static_cast<const int32_t*>(argument->GetData(SWdatanode::kInt)));
                if (SWexpressionentry* entry = list->FindById(id))
                    argument->SetData(entry, SWdatanode::kObject, false);
            }
        }
}
