#include "engine/core/document_file.h"

#include <string>

const char* DocumentStatusText(DocumentStatus status)
{
    switch (status) {
    case DocumentStatus::kOk:
        return "ok";
    case DocumentStatus::kCannotRead:
        return "the file cannot be read";
    case DocumentStatus::kNotDocument:
        return "not a Vortan file";
    case DocumentStatus::kTruncated:
        return "the file is truncated";
    case DocumentStatus::kDamaged:
        return "damaged file: its checksum does not match";
    case DocumentStatus::kTooLarge:
        return "the document would reach 4 GiB";
    case DocumentStatus::kOutOfMemory:
        return "out of memory";
    case DocumentStatus::kWriteFailed:
        return "the file could not be written";
    case DocumentStatus::kOverLimit:
        return "the file is larger than the reader's limit allows";
    }
    return "unknown status";
}

std::string DocumentLengthCause(uint64_t stated, uint64_t size)
{
    const std::string lengths =
        " (its header says " + std::to_string(stated) + " bytes, it holds " + std::to_string(size) + ")";
    if (size > stated)
        return "the file has " + std::to_string(size - stated) + " bytes past its end" + lengths;
    return std::string(DocumentStatusText(DocumentStatus::kTruncated)) + lengths;
}

std::string DocumentStatusCause(DocumentStatus status, std::span<const uint8_t> head, uint64_t fileBytes)
{
    if (status == DocumentStatus::kTruncated && fileBytes == 0)
        return "the file is empty";
    DocumentHeader header;
    if (status == DocumentStatus::kTruncated && ReadDocumentHeader(head, header) == DocumentStatus::kOk &&
        header.totalBytes != fileBytes)
        return DocumentLengthCause(header.totalBytes, fileBytes);
    return DocumentStatusText(status);
}
