#include "engine/resources/compression_scheme.h"

#include <algorithm>

#include "engine/core/chunk_stream.h"
#include "engine/core/container.h"

bool SWcompressionscheme::Read(SWchunkstream& /*in*/, CVTN_Container* /*object*/, uint32_t /*word*/) const
{
    return false;
}

bool SWcompressionscheme::Write(SWchunkstream& /*out*/, CVTN_Container* /*object*/, uint32_t /*word*/) const
{
    return false;
}

bool SWcompressionscheme::Accepts(const CVTN_Container* /*object*/) const
{
    return true;
}

std::optional<std::string> SWcompressionscheme::Describe(const CVTN_Container* /*object*/) const
{
    return std::nullopt;
}

SWcompressionschemes& SWcompressionschemes::Table()
{
    static SWcompressionschemes table;
    return table;
}

bool SWcompressionschemes::Register(std::unique_ptr<SWcompressionscheme> row)
{
    if (row == nullptr)
        return false;
    const auto kind = static_cast<uint8_t>(row->GetKind());
    if (kind < 1 || kind > 4)
        return false;
    if (FindById(row->GetId()) != nullptr)
        return false;
    if (row->IsDefault() && DefaultOf(row->GetKind()) != nullptr)
        return false;
    m_rows.push_back(std::move(row));
    return true;
}

const SWcompressionscheme* SWcompressionschemes::FindById(uint32_t id) const
{
    for (const auto& row : m_rows)
        if (row->GetId() == id)
            return row.get();
    return nullptr;
}

const SWcompressionscheme* SWcompressionschemes::DefaultOf(SchemeKind kind) const
{
    for (const auto& row : m_rows)
        if (row->GetKind() == kind && row->IsDefault())
            return row.get();
    return nullptr;
}

std::vector<const SWcompressionscheme*> SWcompressionschemes::OfferedRows(SchemeKind kind) const
{
    std::vector<const SWcompressionscheme*> rows;
    for (const auto& row : m_rows)
        if (row->GetKind() == kind && row->IsOffered())
            rows.push_back(row.get());
    return rows;
}

bool SWcompressionschemes::WriteResource(int kind, SWchunkstream& out, CVTN_Container* object, uint32_t word) const
{
    if (kind < 1 || kind > 4)
        return false;
    auto* const choice = dynamic_cast<SWschemechoice*>(object);
    if (choice == nullptr || static_cast<int>(choice->GetSchemeKind()) != kind)
        return false;
    const SWcompressionscheme* row = choice->GetScheme();
    if (row == nullptr) {
        row = DefaultOf(static_cast<SchemeKind>(kind));
        if (row == nullptr)
            return false; // no row of the kind registered: nothing to write with, and nothing is stored
        choice->SetScheme(row);
    }
    if (static_cast<int>(row->GetKind()) != kind)
        return false;
    return row->Write(out, object, word);
}

bool SWcompressionschemes::ReadResource(uint32_t tag, SWchunkstream& in, CVTN_Container* object, uint32_t word) const
{
    const SWcompressionscheme* const row = FindById(tag);
    if (row == nullptr)
        return false;
    bool read = false;
    {
        const std::unique_ptr<SWchunkstream> record = in.OpenChild();
        read = row->Read(*record, object, word) && record->Status() == SWchunkstream::kStatusGood;
    } // the child skips what the row left unread
    return read && in.Status() == SWchunkstream::kStatusGood;
}

CompressionSchemeRegistration::CompressionSchemeRegistration(std::unique_ptr<SWcompressionscheme> row)
    : registered(SWcompressionschemes::Table().Register(std::move(row)))
{
}
