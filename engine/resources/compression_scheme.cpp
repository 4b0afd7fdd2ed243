#include "engine/resources/compression_scheme.h"

#include <algorithm>

#include "engine/core/chunk_stream.h"
#include "engine/core/container.h"
#include "engine/resources/resource_report.h"

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

const SWcompressionscheme* SWcompressionschemes::RowFor(int kind, const CVTN_Container* object,
                                                        SchemeWriteMode mode) const
{
    if (kind < 1 || kind > 4)
        return nullptr;
    const auto* const choice = dynamic_cast<const SWschemechoice*>(object);
    if (choice == nullptr || static_cast<int>(choice->GetSchemeKind()) != kind)
        return nullptr;
    const SWcompressionscheme* const chosen = choice->GetScheme();
    if (mode == SchemeWriteMode::kChosen && chosen != nullptr && static_cast<int>(chosen->GetKind()) == kind &&
        chosen->Accepts(object))
        return chosen;
    if (chosen != nullptr && static_cast<int>(chosen->GetKind()) != kind)
        return nullptr; // a choice of another kind is a caller's fault, not a resource to store otherwise
    return DefaultOf(static_cast<SchemeKind>(kind));
}

bool SWcompressionschemes::WriteResource(int kind, SWchunkstream& out, CVTN_Container* object, uint32_t word,
                                         SchemeWriteMode mode) const
{
    const SWcompressionscheme* const row = RowFor(kind, object, mode);
    if (row == nullptr)
        return false; // no row of the kind registered: nothing to write with, and nothing is stored
    auto* const choice = dynamic_cast<SWschemechoice*>(object);
    const SWcompressionscheme* const chosen = choice->GetScheme();
    if (chosen == nullptr)
        choice->SetScheme(row);
    else if (mode == SchemeWriteMode::kChosen && row != chosen) {
        // The user chose a row that cannot store this object: it is published with the default, and told why.
        ReportResource({chosen->Describe(object).value_or(chosen->GetLongName() + " cannot store this resource"),
                        chosen->GetShortName()});
    }
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
