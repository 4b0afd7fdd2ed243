#include "engine/core/document_objects.h"

#include <algorithm>
#include <new>
#include <span>
#include <utility>

#include "engine/core/buffer.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/tag_registry.h"
#include "engine/core/type_tag.h"

namespace {

struct Slot {
    CVTN_Container* object = nullptr; // owned by its parent or by the tops list; null when skipped
    uint32_t depth = 0;
};

// Why record index cannot be read, or empty; on success out is its object, not yet linked to a parent.
std::string MakeObject(const SWdocumentfile& file, const DocumentRecord& record, CVTN_Container* parent,
                       SWreadcontext& context, std::unique_ptr<CVTN_Container>& out)
{
    if (!record.framed)
        return "record too short for its parent index and flags";
    std::vector<uint8_t> payload;
    const PayloadStatus payloadStatus = file.ReadPayload(record, payload);
    if (payloadStatus != PayloadStatus::kOk)
        return PayloadStatusText(payloadStatus);
    out = CVTN_TagRegistry::Create(record.tag);
    if (!out)
        return "unknown tag";
    if (parent != nullptr && !parent->AcceptsChild(*out)) {
        out.reset();
        return "not a child its parent holds";
    }
    SWchunkstream in{std::span<const uint8_t>(payload)};
    in.SetFormatVersion(context.FormatVersion());
    in.SetReadContext(&context);
    if (!out->Read(in) || in.Status() != SWchunkstream::kStatusGood) {
        out.reset();
        return "payload does not read";
    }
    return {};
}

} // namespace

DocumentObjects ReadDocumentObjects(const SWdocumentfile& file, SWreadcontext& context)
{
    DocumentObjects result;
    if (context.FormatVersion() == 0)
        context.SetFormatVersion(file.Header().version);
    const std::vector<DocumentRecord>& records = file.Records();
    std::vector<Slot> slots(records.size());
    for (uint32_t index = 0; index < records.size(); ++index) {
        const DocumentRecord& record = records[index];
        const bool top = record.parentIndex == kDocumentNoParent;
        std::string reason;
        CVTN_Container* parent = nullptr;
        if (!top && record.parentIndex >= index) {
            reason = "parent index is not an earlier record";
        } else if (!top && slots[record.parentIndex].object == nullptr) {
            reason = "its parent was skipped";
        } else if (!top && slots[record.parentIndex].depth + 1 >= kMaxObjectDepth) {
            reason = "nested too deep";
        } else {
            parent = top ? nullptr : slots[record.parentIndex].object;
            std::unique_ptr<CVTN_Container> object;
            try {
                reason = MakeObject(file, record, parent, context, object);
            } catch (const std::bad_alloc&) {
                object.reset();
                reason = "out of memory";
            }
            if (object) {
                object->SetRecordIndex(index);
                slots[index] = {object.get(), top ? 0 : slots[record.parentIndex].depth + 1};
                if (top)
                    result.tops.push_back(std::move(object));
                else
                    parent->AddChild(object.release(), 0);
            }
        }
        if (slots[index].object == nullptr)
            result.skipped.push_back({index, record.tag, reason});
        if (file.ReadFailure() != PayloadStatus::kOk) {
            result = DocumentObjects();
            result.failure = file.ReadFailureText();
            break;
        }
    }
    return result;
}

namespace {

// The children of list 0 in the order they are written.
std::vector<CVTN_Container*> ChildrenInSaveOrder(const CVTN_Container& object)
{
    std::vector<CVTN_Container*> children;
    for (CVTN_Container* child = object.GetFirstChild(0); child != nullptr; child = child->GetNextSibling())
        children.push_back(child);
    std::stable_sort(children.begin(), children.end(), [](const CVTN_Container* a, const CVTN_Container* b) {
        return a->GetSavePriority() < b->GetSavePriority();
    });
    return children;
}

bool WriteOneObject(SWdocumentwriter& writer, CVTN_Container& object, uint32_t parentIndex)
{
    SWbuffer payload;
    {
        SWchunkstream out(payload, SWchunkstream::kWrite);
        out.SetFormatVersion(writer.Options().formatVersion);
        if (!object.Write(out) || out.Status() != SWchunkstream::kStatusGood)
            return false;
    }
    const std::span<const uint8_t> bytes = payload.FlatBytes();
    if (bytes.size() != payload.Size())
        return false;
    const std::optional<uint32_t> index = writer.AddRecord(object.GetTag(), parentIndex, bytes);
    if (!index)
        return false;
    object.SetRecordIndex(*index);
    return true;
}

} // namespace

bool WriteObjectTree(SWdocumentwriter& writer, CVTN_Container& object, uint32_t parentIndex)
{
    // An explicit stack: a deep tree must not exhaust the thread's stack.
    struct Pending {
        CVTN_Container* object;
        uint32_t parentIndex;
    };
    std::vector<Pending> stack{{&object, parentIndex}};
    while (!stack.empty()) {
        const Pending next = stack.back();
        stack.pop_back();
        if (!WriteOneObject(writer, *next.object, next.parentIndex))
            return false;
        const std::vector<CVTN_Container*> children = ChildrenInSaveOrder(*next.object);
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            stack.push_back({*child, next.object->GetRecordIndex()});
    }
    return true;
}
