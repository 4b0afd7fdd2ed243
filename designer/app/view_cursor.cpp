#include "designer/app/view_cursor.h"

#include <map>
#include <tuple>

#include "designer/app/icon_image.h"

namespace {

using EntryKey = std::tuple<std::string, int32_t, int32_t>;
constexpr size_t kMaxKept = 256; // a world names a handful of cursors; past this the oldest reads are let go

std::map<EntryKey, pf::Cursor>& Kept()
{
    static std::map<EntryKey, pf::Cursor> kept;
    return kept;
}

const CVTND_ViewCursorRegistration kViewCursor(&ViewCursorFor);

} // namespace

pf::Cursor ViewCursorFor(const CVTND_CursorEntry* entry)
{
    const pf::Cursor cross = pf::loadCursor(pf::IDC_CROSS);
    if (entry == nullptr || entry->imageFile.empty())
        return cross;
    const EntryKey key{entry->imageFile, entry->hotSpotX, entry->hotSpotY};
    auto& kept = Kept();
    if (const auto it = kept.find(key); it != kept.end())
        return it->second;
    CVTND_IconImage image;
    std::string reason;
    pf::Cursor cursor = cross;
    if (ReadIconFile(entry->imageFile, image, reason))
        if (pf::IconRef icon = image.MakeIcon(entry->hotSpotX, entry->hotSpotY))
            cursor = pf::cursorFromIcon(std::move(icon));
    if (kept.size() >= kMaxKept)
        kept.clear();
    kept.emplace(key, cursor);
    return cursor;
}

size_t ViewCursorsKept()
{
    return Kept().size();
}
