#pragma once
// Documents built byte by byte for the container's and the object reader's tests and fuzz targets, so that readers
// are checked against the layout rather than against our own writer.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/core/document_file.h"
#include "engine/core/type_tag.h"
#include "platform/base/endian.h"

namespace documenttest {

struct RawRecord {
    uint32_t tag = 0;
    uint32_t parent = kDocumentNoParent;
    uint32_t flags = 0;
    std::vector<uint8_t> payload;
};

inline void PutU32(std::vector<uint8_t>& out, uint32_t value)
{
    const size_t at = out.size();
    out.resize(at + 4);
    pf::storeU32le(&out[at], value);
}

// A plain body of records and "END ", built by hand so that the reader is checked against the layout, not against
// our own writer.
inline std::vector<uint8_t> BodyOf(const std::vector<RawRecord>& records)
{
    std::vector<uint8_t> body;
    for (const RawRecord& record : records) {
        PutU32(body, record.tag);
        PutU32(body, static_cast<uint32_t>(8 + record.payload.size()));
        PutU32(body, record.parent);
        PutU32(body, record.flags);
        body.insert(body.end(), record.payload.begin(), record.payload.end());
    }
    PutU32(body, kTagEnd);
    return body;
}

// A whole file around body: seed = checksum, true total length; scrambled when asked.
inline std::vector<uint8_t> FileOf(std::vector<uint8_t> body, bool scramble = true, const char* digits = "0951")
{
    std::vector<uint8_t> file = {'V',
                                 'T',
                                 'N',
                                 'F',
                                 static_cast<uint8_t>(digits[0]),
                                 static_cast<uint8_t>(digits[1]),
                                 static_cast<uint8_t>(digits[2]),
                                 static_cast<uint8_t>(digits[3])};
    const uint32_t seed = BodyChecksum(body);
    PutU32(file, seed);
    PutU32(file, scramble ? kDocumentFlagScrambled : 0);
    PutU32(file, static_cast<uint32_t>(kDocumentHeaderBytes + body.size()));
    if (scramble)
        ScrambleBody(body, seed);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

// Replaces an id where a stream root ("5PTS") stores it: a node's "NHDR", a variable's "7498", an event's "7399", an
// expression entry's "7ESB", group members and the arcball.
inline void ReplaceStoredId(std::vector<uint8_t>& payload, uint32_t from, uint32_t to)
{
    auto replaceAt = [&](size_t at) {
        if (at + 4 <= payload.size() && pf::loadU32le(&payload[at]) == from)
            pf::storeU32le(&payload[at], to);
    };
    for (size_t i = 0; i + 12 <= payload.size(); ++i) {
        const uint32_t tag = pf::loadU32le(&payload[i]);
        if (tag == MakeTag("NHDR") || tag == MakeTag("ARCB") || tag == MakeTag("7498") || tag == MakeTag("7399") ||
            tag == MakeTag("7ESB")) {
            replaceAt(i + 8);
        } else if (tag == MakeTag("NGRP")) {
            const uint32_t count = pf::loadU32le(&payload[i + 8]);
            for (uint32_t k = 0; k < count; ++k)
                replaceAt(i + 12 + 4 * size_t{k});
        }
    }
}

// A saved document (a world or a project) with the ids its stream root stores replaced (from, to), as a file
// written by another process holds them; empty when saved does not parse.
inline std::vector<uint8_t> WithStoredIds(const std::vector<uint8_t>& saved,
                                          const std::vector<std::pair<uint32_t, uint32_t>>& ids,
                                          const char* digits = "0951")
{
    SWdocumentfile file;
    if (SWdocumentfile::Parse(saved, file) != DocumentStatus::kOk)
        return {};
    std::vector<RawRecord> records;
    for (const DocumentRecord& record : file.Records()) {
        RawRecord raw{record.tag, record.parentIndex, record.flags, {record.payload.begin(), record.payload.end()}};
        if (record.tag == MakeTag("5PTS"))
            for (const auto& [from, to] : ids)
                ReplaceStoredId(raw.payload, from, to);
        records.push_back(std::move(raw));
    }
    return FileOf(BodyOf(records), true, digits);
}

inline std::vector<uint8_t> Bytes(const char* text)
{
    return std::vector<uint8_t>(text, text + std::char_traits<char>::length(text));
}

} // namespace documenttest
