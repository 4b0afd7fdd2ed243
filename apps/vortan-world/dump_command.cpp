// `vortan-world dump FILE [-v]`: the header's fields, then every record in pre-order (index, tag, parent,
// compression, sizes; with -v the nested tags one level down). It decodes the container only, so it shows damaged
// files too, and then exits 3; so does a file whose compressed payloads grow by more than --max-bytes together.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "apps/vortan-world/command_table.h"
#include "engine/core/chunk_stream.h"
#include "engine/core/document_file.h"
#include "engine/core/read_context.h"
#include "engine/core/type_tag.h"
#include "testsupport/tools/tool_input.h"
#include "testsupport/tools/tool_world.h"

namespace {

constexpr int kExitRefused = 3; // an input refused: missing, damaged, not writable

int PrintUsage()
{
    std::fprintf(stderr, "usage: vortan-world dump FILE [-v]\n");
    return kWorldToolUsage;
}

int Refuse(const std::string& message)
{
    std::fprintf(stderr, "vortan-world: %s\n", message.c_str());
    return kExitRefused;
}

// The nested records of a payload, one level down, as far as they frame: a payload of flat fields shows none.
std::string NestedTags(std::span<const uint8_t> payload)
{
    std::string text;
    SWchunkstream in(payload);
    bool framed = true;
    while (framed && in.Remaining() >= 8) {
        const uint32_t tag = in.TakeTag();
        const std::unique_ptr<SWchunkstream> child = in.OpenChild();
        framed = child->Status() == SWchunkstream::kStatusGood;
        if (framed)
            text.append(text.empty() ? "" : " ")
                .append(TagText(tag))
                .append("(")
                .append(std::to_string(child->Remaining()))
                .append(")");
    }
    if (!framed || in.Remaining() != 0)
        text += text.empty() ? "(fields)" : " ...";
    return text;
}

// Prints one record; context counts what decoding the payloads makes beyond their stored bytes against the read
// limit. False when this one takes it past the limit.
bool PrintRecord(const SWdocumentfile& doc, size_t index, bool verbose, SWreadcontext& context)
{
    const DocumentRecord& record = doc.Records()[index];
    const std::string parent =
        record.parentIndex == kDocumentNoParent ? std::string("-") : std::to_string(record.parentIndex);
    if (!record.framed) {
        std::printf("#%zu tag=%s length=%u unframed\n", index, TagText(record.tag).c_str(), record.length);
        return true;
    }
    std::vector<uint8_t> payload;
    const PayloadStatus status = context.DecodePayload(doc, record, payload);
    std::printf("#%zu tag=%s parent=%s compression=%u stored=%zu", index, TagText(record.tag).c_str(), parent.c_str(),
                record.Compression(), record.payload.size());
    if (status == PayloadStatus::kOk)
        std::printf(" size=%zu\n", payload.size());
    else
        std::printf(" payload: %s\n", PayloadStatusText(status));
    if (verbose && status == PayloadStatus::kOk && !payload.empty())
        std::printf("    %s\n", NestedTags(payload).c_str());
    return status != PayloadStatus::kOverLimit;
}

int Dump(std::span<char* const> args)
{
    if (args.empty() || args.size() > 2 || (args.size() == 2 && std::strcmp(args[1], "-v") != 0))
        return PrintUsage();
    const bool verbose = args.size() == 2;
    std::string error;
    std::optional<std::vector<uint8_t>> bytes = tooltest::ReadInput(args[0], error, UINT32_MAX);
    if (!bytes)
        return Refuse(error);
    const size_t size = bytes->size();
    const std::vector<uint8_t> head(bytes->begin(), bytes->begin() + std::min<size_t>(size, kDocumentHeaderBytes));
    SWdocumentfile doc;
    const DocumentStatus status = SWdocumentfile::ParseDamaged(std::move(*bytes), doc);
    const DocumentHeader& header = doc.Header();
    std::printf("header version=%04u seed=0x%08x flags=0x%x total=%u size=%zu checksum=0x%08x\n", header.version,
                header.seed, header.flags, header.totalBytes, size, doc.ComputedChecksum());
    SWreadcontext context(SWreadcontext::IdMode::kKeep);
    context.SetLimits(tooltest::ToolReadLimits());
    bool withinLimit = true;
    for (size_t i = 0; i < doc.Records().size(); ++i)
        withinLimit = PrintRecord(doc, i, verbose, context) && withinLimit;
    std::printf("records=%zu end=%s trailing=%llu\n", doc.Records().size(), doc.HasEnd() ? "yes" : "no",
                static_cast<unsigned long long>(doc.TrailingBytes()));
    if (status != DocumentStatus::kOk)
        return Refuse(std::string("cannot read ") + args[0] + ": " + DocumentStatusCause(status, head, size));
    if (!withinLimit)
        return Refuse(std::string("cannot read ") + args[0] + ": " + context.LimitText());
    return kWorldToolDone;
}

const bool kRegistered = RegisterWorldToolCommand({"dump", "FILE [-v]", &Dump});

} // namespace
