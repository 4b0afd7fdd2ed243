// The document container over arbitrary bytes, twice: as a whole file, and as a plain body given a header that
// matches it (true length, checksum as seed), so that mutations reach the records instead of the checksum. Every
// record's payload is decoded and every record made into an object where its tag is registered. A body that reads
// cleanly is written again by the writer and must read back to the same records.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/core/document_file.h"
#include "engine/core/document_objects.h"
#include "engine/core/read_context.h"
#include "testsupport/world/document_bytes.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// The records again through the writer, payloads decoded; false when a record cannot be rewritten as it is.
void CheckRewrite(const SWdocumentfile& doc, std::span<const std::vector<uint8_t>> payloads)
{
    SWdocumentwriter writer({.scramble = false});
    for (size_t i = 0; i < doc.Records().size(); ++i)
        Check(writer.AddRecord(doc.Records()[i].tag, doc.Records()[i].parentIndex, payloads[i]).has_value());
    std::vector<uint8_t> bytes;
    Check(writer.Finish(bytes) == DocumentStatus::kOk);
    SWdocumentfile again;
    Check(SWdocumentfile::Parse(bytes, again) == DocumentStatus::kOk);
    Check(again.Records().size() == doc.Records().size());
    for (size_t i = 0; i < payloads.size(); ++i) {
        Check(again.Records()[i].tag == doc.Records()[i].tag);
        Check(again.Records()[i].parentIndex == doc.Records()[i].parentIndex);
        Check(std::equal(again.Records()[i].payload.begin(), again.Records()[i].payload.end(), payloads[i].begin(),
                         payloads[i].end()));
    }
}

void ReadDocument(std::vector<uint8_t> file)
{
    const size_t size = file.size();
    SWdocumentfile doc;
    if (SWdocumentfile::Parse(std::move(file), doc) != DocumentStatus::kOk) {
        Check(doc.Records().empty());
        return;
    }
    Check(doc.HasEnd() && doc.Records().size() <= size / 8);
    std::vector<std::vector<uint8_t>> payloads;
    bool rewritable = true;
    for (size_t i = 0; i < doc.Records().size(); ++i) {
        const DocumentRecord& record = doc.Records()[i];
        std::vector<uint8_t> payload;
        const PayloadStatus status = SWdocumentfile::DecodePayload(record, payload);
        Check(status == PayloadStatus::kOk || payload.empty());
        Check(payload.size() <= kMaxRecordPayloadBytes);
        const bool parentOk = record.parentIndex == kDocumentNoParent || record.parentIndex < i;
        rewritable = rewritable && status == PayloadStatus::kOk && record.framed && parentOk;
        payloads.push_back(std::move(payload));
    }
    SWreadcontext context(SWreadcontext::IdMode::kFresh);
    const DocumentObjects objects = ReadDocumentObjects(doc, context);
    Check(objects.skipped.size() <= doc.Records().size());
    if (rewritable)
        CheckRewrite(doc, payloads);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> input(data, size);
    ReadDocument(std::vector<uint8_t>(input.begin(), input.end()));
    if (size + kDocumentHeaderBytes <= 0xFFFFFFFF)
        ReadDocument(documenttest::FileOf(std::vector<uint8_t>(input.begin(), input.end()), false));
    SWdocumentfile damaged;
    SWdocumentfile::ParseDamaged(std::vector<uint8_t>(input.begin(), input.end()), damaged);
    return 0;
}
