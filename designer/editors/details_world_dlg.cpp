#include "designer/editors/details_world_dlg.h"

#include <algorithm>
#include <optional>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/designer_utilities.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/registry.h"
#include "designer/editors/world_texts.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/editor_texts.h"
#include "engine/core/sub_worlds.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/providers/providers.h"

namespace {

constexpr int32_t kIdFile = 1172;
constexpr int32_t kIdBrowse = 1164;
constexpr int32_t kIdAddress = 1004;
constexpr int32_t kIdName = 1173;
constexpr int32_t kIdLimitFlag = 1187;
constexpr int32_t kIdLimit = 1174;
constexpr size_t kMaxText = 2047;

pf::Window* MakeWorldEditor(const CVTND_EditorRequest& request)
{
    if (request.object == nullptr)
        return nullptr;
    return CVTND_ModelessEditorDlg::Open(std::make_unique<CVTND_DetailsWorldDlg>(request), CVTND_DetailsWorldDlg::kIdd,
                                         request.parent);
}

const CVTND_EditorRegistration kWorldEditor(ObjectType::kLoadedWorld, kAnyActionKind, &MakeWorldEditor);

} // namespace

std::optional<uint32_t> ReadReferenceLimit(std::string_view text)
{
    const TypedNumber typed = ReadTypedWholeNumber(text, 0.0, kLargestLimit);
    if (typed.kind != TypedKind::kNumber)
        return std::nullopt;
    return static_cast<uint32_t>(typed.value);
}

CVTND_DetailsWorldDlg::CVTND_DetailsWorldDlg(const CVTND_EditorRequest& request)
    : CVTND_ModelessEditorDlg(static_cast<uint16_t>(ObjectType::kLoadedWorld), request.object, request.record),
      m_entry(static_cast<CVTN_SubWorld*>(request.object))
{
}

bool CVTND_DetailsWorldDlg::onInitDialog()
{
    CVTND_ModelessEditorDlg::onInitDialog();
    if (m_entry->GetFileName())
        child(kIdFile)->setText(*m_entry->GetFileName());
    if (m_entry->GetDownloadUrl())
        child(kIdAddress)->setText(*m_entry->GetDownloadUrl());
    if (m_entry->GetName())
        child(kIdName)->setText(*m_entry->GetName());
    const bool limited = m_entry->GetReferenceLimitFlag() != 0;
    if (auto* flag = item<pf::Button>(kIdLimitFlag))
        flag->setCheck(limited ? pf::BST_CHECKED : pf::BST_UNCHECKED);
    child(kIdLimit)->enable(limited);
    child(kIdLimit)->setText(std::to_string(m_entry->GetReferenceLimit()));
    return true;
}

pf::LResult CVTND_DetailsWorldDlg::handle(const pf::Msg& msg)
{
    if (msg.message == pf::WM_COMMAND && pf::hiWord(msg.wParam) == pf::BN_CLICKED) {
        if (pf::loWord(msg.wParam) == kIdBrowse) {
            Browse();
            return 0;
        }
        if (pf::loWord(msg.wParam) == kIdLimitFlag) {
            LimitToggled();
            return 0;
        }
    }
    return CVTND_ModelessEditorDlg::handle(msg);
}

void CVTND_DetailsWorldDlg::Browse()
{
    const std::optional<std::string> path = BrowseForFile(
        BrowseCategory::kPublished, this, WorldTextOf(kIdsPublishedTitle), 1, WorldTextOf(kIdsPublishedFilter));
    if (!path)
        return;
    if (SWworld* world = World()) {
        SWworldlock lock(*world);
        m_entry->SetFileName(*path);
    } else {
        m_entry->SetFileName(*path);
    }
    child(kIdFile)->setText(*path);
}

void CVTND_DetailsWorldDlg::LimitToggled()
{
    const uint8_t flag = m_entry->GetReferenceLimitFlag() != 0 ? 0 : 1;
    if (SWworld* world = World()) {
        SWworldlock lock(*world);
        m_entry->SetReferenceLimitFlag(flag);
    }
    child(kIdLimit)->enable(flag != 0);
}

bool CVTND_DetailsWorldDlg::Validate()
{
    // "abc" and "12 copies" were once read as 0 and 12.
    if (!ReadReferenceLimit(FieldText(child(kIdLimit), kMaxText))) {
        pf::messageBox(hwnd(), TypedRefusalText(0.0, kLargestLimit, true), EditorTextOf(kIdsEditorErrorCaption),
                       pf::MB_OK | pf::MB_ICONHAND);
        ShowStoredText(child(kIdLimit), std::to_string(m_entry->GetReferenceLimit()));
        return false;
    }
    const std::string name = FieldText(child(kIdName), kMaxText);
    if (name.empty()) {
        ShowError(kIdsValidName);
        return false;
    }
    const std::string old = m_entry->GetName().value_or(std::string());
    if (name == old && m_entry->GetName())
        return true;
    auto* world = dynamic_cast<CVTND_ExtendedWorld*>(World());
    if (world == nullptr || !world->RenameSubWorld(m_entry, old, name)) {
        ShowError(kIdsUniqueName);
        return false;
    }
    CVTND_Event event(EventCode::kRenamed, CVTND_Object(m_entry));
    event.SetTexts(old, name);
    event.sender = hwnd();
    App()->Broadcast(event);
    return true;
}

void CVTND_DetailsWorldDlg::Apply()
{
    if (CVTNDesignerApp* app = App())
        app->RedrawEventMaps();
    SWworld* world = World();
    if (world == nullptr)
        return;
    SWworldlock lock(*world);
    if (const std::string file = FieldText(child(kIdFile), kMaxText); file.size() >= 2)
        m_entry->SetFileName(file);
    if (const std::string address = FieldText(child(kIdAddress), kMaxText); address.size() >= 2)
        m_entry->SetDownloadUrl(address);
    if (const std::optional<uint32_t> limit = ReadReferenceLimit(FieldText(child(kIdLimit), kMaxText)))
        m_entry->SetReferenceLimit(*limit);
}
