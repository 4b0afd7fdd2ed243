// The document container over arbitrary bytes, twice: as a whole file, and as a plain body given a header that
// matches it (true length, checksum as seed), so that mutations reach the records instead of the checksum. Every
// record's payload is decoded and every record made into an object where its tag is registered. A body that reads
// cleanly is written again by the writer and must read back to the same records. The same bytes read on demand,
// through windows of one slice, must give the same status, records and payloads.
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

// The document read on demand agrees with doc, read whole with status.
void CheckOnDemand(std::vector<uint8_t> file, const SWdocumentfile& doc, DocumentStatus status)
{
    SWdocumentfile onDemand;
    Check(SWdocumentfile::OpenBytes(std::move(file), onDemand, kDocumentSliceBytes) == status);
    Check(onDemand.Records().size() == doc.Records().size() && onDemand.TrailingBytes() == doc.TrailingBytes());
    for (size_t i = 0; i < doc.Records().size(); ++i) {
        const DocumentRecord& a = onDemand.Records()[i];
        const DocumentRecord& b = doc.Records()[i];
        Check(a.tag == b.tag && a.parentIndex == b.parentIndex && a.flags == b.flags && a.offset == b.offset &&
              a.length == b.length && a.framed == b.framed);
        std::vector<uint8_t> scratch;
        std::span<const uint8_t> stored;
        Check(onDemand.StoredPayload(a, scratch, stored) == PayloadStatus::kOk);
        Check(std::equal(stored.begin(), stored.end(), b.payload.begin(), b.payload.end()));
    }
}

void ReadDocument(std::vector<uint8_t> file)
{
    const size_t size = file.size();
    std::vector<uint8_t> copy = file;
    SWdocumentfile doc;
    const DocumentStatus status = SWdocumentfile::Parse(std::move(file), doc);
    CheckOnDemand(std::move(copy), doc, status);
    if (status != DocumentStatus::kOk) {
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
