#include "designer/workspace/editor_fields.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "designer/app/designer_app.h"
#include "designer/app/extended_world.h"
#include "designer/app/notification.h"
#include "designer/app/world_write_lock.h"
#include "designer/editing/editor_engine.h"
#include "designer/workspace/editor_texts.h"
#include "designer/workspace/modeless_editor.h"
#include "designer/workspace/movable_target_picker.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/tooltip_texts.h"
#include "engine/behaviour/control_channel.h"
#include "engine/core/node.h"
#include "engine/core/world.h"
#include "platform/base/typed_number.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/combo_box.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/status_bar.h"
#include "platform/ui/core/ui.h"
#include "platform/ui/frame/frame_window.h"

std::string TypedRefusalText(double low, double high, bool whole, const std::string& kept)
{
    const char* format = whole ? "%.0f" : "%g"; // 4294967295 rather than 4.29497e+09
    const auto number = [format](double value) {
        char text[64];
        std::snprintf(text, sizeof(text), format, value);
        return std::string(text);
    };
    // 1e40 is finite too: the range a float holds is named as any other.
    const std::string range =
        std::string(whole ? "a whole number" : "a number") + " from " + number(low) + " to " + number(high);
    return "Not taken: the field needs " + range + ", and keeps " + (kept.empty() ? "its value" : kept) + ".";
}

namespace {

// The one typing under way: only the field with the focus is typed into.
struct TypedEdit {
    pf::Hwnd field = pf::kNoWindow;
    std::string text;              // the field's text when last read
    std::function<void()> restore; // what the field held before the typing
    std::function<void()> show;    // the kept text into the field, after a refusal
};

TypedEdit& CurrentTypedEdit()
{
    static TypedEdit edit;
    return edit;
}

// A number taken as typed in a spelling of its own (".5", "5.", "+5", " 3", "090") is shown as the field shows it
// stored once the typing ends; the number is the same, so writing it again changes nothing.
std::string StoredSpelling(std::string text)
{
    const size_t first = text.find_first_not_of(' ');
    const size_t last = text.find_last_not_of(' ');
    text = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    if (!text.empty() && text[0] == '+')
        text.erase(0, 1);
    const size_t digits = !text.empty() && text[0] == '-' ? 1 : 0;
    if (text.size() > digits && text[digits] == '.')
        text.insert(digits, "0");
    while (text.size() > digits + 1 && text[digits] == '0' &&
           std::isdigit(static_cast<unsigned char>(text[digits + 1])))
        text.erase(digits, 1);
    if (text.size() > 1 && text.back() == '.')
        text.pop_back();
    return text;
}

void EndTypedEdit(bool respell = true)
{
    TypedEdit& edit = CurrentTypedEdit();
    pf::ui().removeObserver(&edit);
    const std::function<void()> show = std::move(edit.show);
    const pf::Hwnd field = edit.field;
    edit = {};
    if (show) {
        show();
        return;
    }
    pf::Window* window = pf::ui().window(field);
    if (!respell || window == nullptr || !window->isEnabled())
        return;
    const std::string text = window->getText();
    constexpr double kLargest = std::numeric_limits<double>::max();
    if (pf::ReadTypedNumber(text, -kLargest, kLargest).kind != pf::TypedKind::kNumber)
        return;
    if (std::string stored = StoredSpelling(text); stored != text)
        window->setText(stored);
}

// The typing ends as the focus leaves the field; a field going, or one of its parents, takes it along unshown.
void WatchTypedEdit()
{
    TypedEdit& edit = CurrentTypedEdit();
    pf::ui().removeObserver(&edit);
    pf::ui().addObserver(&edit, [](const pf::Msg& msg) {
        TypedEdit& current = CurrentTypedEdit();
        if (msg.message == pf::WM_KILLFOCUS && msg.hwnd == current.field) {
            EndTypedEdit();
        } else if (msg.message == pf::WM_DESTROY) {
            const pf::Window* field = pf::ui().window(current.field);
            const pf::Window* going = pf::ui().window(msg.hwnd);
            if (field == nullptr || field == going || field->isDescendantOf(going)) {
                current.show = nullptr;
                EndTypedEdit(false);
            }
        }
    });
}

// The typing goes on while the field keeps the focus, whatever is typed over or cut back: what it held when the focus
// came is what a refusal puts back, not "1e4" stored on the way back from "1e40". A field typed into without the
// focus goes on while each text read is the one before with more typed after it. Null for a field that changes
// while the one typed into keeps the focus: it follows that one, and is no typing of its own.
TypedEdit* StartTypedEdit(const pf::Window& field)
{
    TypedEdit& edit = CurrentTypedEdit();
    std::string text = field.getText();
    const bool same = edit.field == field.hwnd() && pf::ui().window(edit.field) == &field;
    if (!same && edit.field != pf::kNoWindow && pf::ui().focus() == edit.field && pf::ui().isWindow(edit.field))
        return nullptr;
    if (same && (pf::ui().focus() == edit.field || (!edit.text.empty() && text.starts_with(edit.text)))) {
        edit.text = std::move(text);
        return &edit;
    }
    if (same)
        edit.show = nullptr; // the text it would have put back is typed over already
    if (edit.field != pf::kNoWindow)
        EndTypedEdit();
    edit.field = field.hwnd();
    edit.text = std::move(text);
    WatchTypedEdit();
    return &edit;
}

pf::StatusBar* MainStatusBar()
{
    CVTNDesignerApp* app = GetDesignerApp();
    auto* frame = app != nullptr ? dynamic_cast<pf::FrameWindow*>(app->GetMainFrame()) : nullptr;
    return frame != nullptr ? frame->statusBar() : nullptr;
}

// A refusal speaks of a field of the window that has the keyboard: the bar's earlier text comes back when that
// window closes, unless something else was said meanwhile.
struct RefusalNote {
    const pf::Ui* ui = nullptr; // handles mean nothing in another
    pf::Hwnd window = pf::kNoWindow;
    std::string shown;
    std::string before;
};
RefusalNote g_refusal;

void SayRefusalUntilItsWindowCloses(pf::StatusBar& bar, const std::string& text)
{
    // The window of its own, not its owner: an editor's owner is the main window.
    const pf::Window* top = pf::ui().window(pf::ui().focus());
    while (top != nullptr && (top->style() & pf::WS_CHILD) != 0)
        top = top->parent();
    if (g_refusal.ui != &pf::ui() || !pf::ui().isWindow(g_refusal.window))
        g_refusal.before = bar.paneText(0);
    g_refusal.ui = &pf::ui();
    g_refusal.window = top != nullptr ? top->hwnd() : pf::kNoWindow;
    g_refusal.shown = text;
    bar.setText(0, text);
    pf::ui().removeObserver(&g_refusal);
    if (g_refusal.window == pf::kNoWindow)
        return;
    pf::ui().addObserver(&g_refusal, [](const pf::Msg& msg) {
        if (msg.message != pf::WM_DESTROY || msg.hwnd != g_refusal.window)
            return;
        if (pf::StatusBar* shown = MainStatusBar(); shown != nullptr && shown->paneText(0) == g_refusal.shown)
            shown->setText(0, g_refusal.before);
        g_refusal = {};
        pf::ui().removeObserver(&g_refusal);
    });
}

// A number taken after a refusal: the bar's refusal goes, and what it showed before comes back.
void DropRefusalNote()
{
    if (g_refusal.ui != &pf::ui())
        return;
    if (pf::StatusBar* bar = MainStatusBar(); bar != nullptr && bar->paneText(0) == g_refusal.shown)
        bar->setText(0, g_refusal.before);
    pf::ui().removeObserver(&g_refusal);
    g_refusal = {};
}

} // namespace

void BeginTypedEdit(const pf::Window* field, std::function<void()> restore)
{
    if (field == nullptr)
        return;
    TypedEdit* edit = StartTypedEdit(*field);
    if (edit == nullptr)
        return;
    if (!edit->restore)
        edit->restore = std::move(restore);
    // Taken: the field shows what it now keeps, not a text put back from a refusal earlier in the typing ("+" before
    // "+4"), and the bar no longer says it kept something else.
    edit->show = nullptr;
    DropRefusalNote();
}

void RefuseTypedEdit(const pf::Window* field, const std::function<std::string()>& kept,
                     std::function<void(const std::string&)> show, double low, double high, bool whole)
{
    if (field == nullptr)
        return;
    TypedEdit* edit = StartTypedEdit(*field);
    // A start of a number ("", "+", "-", "1e") is waited on: nothing is put back or said until the focus leaves, and
    // then the field shows what it keeps.
    const bool unfinished = ReadTypedNumber(field->getText(), low, high).kind == TypedKind::kUnfinished;
    if (edit != nullptr && edit->restore && !unfinished)
        edit->restore();
    const std::string text = kept();
    if (edit == nullptr) {
        show(text);
    } else {
        edit->show = [show = std::move(show), text] { show(text); };
        if (pf::ui().focus() != field->hwnd())
            EndTypedEdit();
    }
    if (!unfinished)
        ShowTypedRefusal(low, high, whole, text);
}

void ShowTypedRefusal(double low, double high, bool whole, const std::string& kept)
{
    if (pf::StatusBar* bar = MainStatusBar())
        SayRefusalUntilItsWindowCloses(*bar, TypedRefusalText(low, high, whole, kept));
}

void RefuseTypedText(pf::Window* field, const std::function<std::string()>& kept, bool& quiet, double low, double high,
                     bool whole)
{
    const pf::Hwnd handle = field != nullptr ? field->hwnd() : pf::kNoWindow;
    RefuseTypedEdit(
        field, kept,
        [handle, &quiet](const std::string& text) {
            const bool wasQuiet = quiet;
            quiet = true;
            ShowStoredText(pf::ui().window(handle), text);
            quiet = wasQuiet;
        },
        low, high, whole);
}

void ShowStoredText(pf::Window* field, const std::string& stored)
{
    if (field == nullptr)
        return;
    field->setText(stored);
    if (auto* edit = dynamic_cast<pf::Edit*>(field))
        edit->setSel(0, -1);
}

CVTND_ExtendedWorld* DesignerWorld()
{
    CVTNDesignerApp* app = GetDesignerApp();
    return app != nullptr ? app->GetWorld() : nullptr;
}

uint32_t CloseRenamed(CVTND_ModelessEditorDlg& editor, const std::string& typed, const std::string& old,
                      const CVTND_Object& object, const std::function<bool(CVTND_ExtendedWorld&)>& rename)
{
    if (typed.empty())
        return kIdsValidName;
    if (typed == old) {
        editor.DestroyWindow();
        return 0;
    }
    CVTND_Event event(EventCode::kRenamed, object);
    event.SetTexts(old, typed);
    event.sender = editor.hwnd();
    CVTND_ExtendedWorld* const world = DesignerWorld();
    if (world == nullptr || !rename(*world))
        return kIdsUniqueName;
    // A window that hears of the rename may close the editor itself.
    const pf::Hwnd self = editor.hwnd();
    GetDesignerApp()->Broadcast(event);
    if (pf::ui().isWindow(self))
        editor.DestroyWindow();
    return 0;
}

std::string FormatReal(double value, const char* format)
{
    char text[64];
    // A rotation taken apart into angles gives -0 as often as 0; a person reads both as 0.
    std::snprintf(text, sizeof(text), format, value == 0.0 ? 0.0 : value);
    // An exponent is read as another number than the one kept, or cut off in a narrow field.
    return std::strchr(text, 'e') == nullptr ? std::string(text) : FormatNumberPlain(value == 0.0 ? 0.0 : value);
}

std::string FieldText(const pf::Window* field, size_t limit)
{
    std::string text = field != nullptr ? field->getText() : std::string();
    if (text.size() > limit)
        text.resize(limit);
    return text;
}

namespace frame_controls {
namespace {

constexpr uint8_t kFrameBits[] = {0x01, 0x02, 0x04, 0x08, 0x10};
constexpr int32_t kFrameTarget = 4;

} // namespace

void ShowTarget(pf::Dialog& page, const SWcontrolchannel& channel, bool shown)
{
    page.child(kIdTargetName)->show(shown ? pf::SW_SHOW : pf::SW_HIDE);
    page.child(kIdPicker)->show(shown ? pf::SW_SHOW : pf::SW_HIDE);
    if (!shown)
        return;
    const SWnode* target = channel.GetTargetObject();
    page.child(kIdTargetName)
        ->setText(target != nullptr && target->GetName() ? *target->GetName() : TooltipTextOf(kIdsArcballNoTarget));
}

void ShowRenamed(pf::Dialog& page, const SWcontrolchannel& channel)
{
    if (page.item<pf::ComboBox>(kIdFrame)->getCurSel() == kFrameTarget)
        ShowTarget(page, channel, true);
}

void Init(pf::Dialog& page, SWcontrolchannel& channel, SWworld* world)
{
    auto* frame = page.item<pf::ComboBox>(kIdFrame);
    for (uint32_t i = 0; i < 5; ++i)
        frame->addString(TooltipTextOf(kIdsArcballFrameFirst + i));
    auto* picker = dynamic_cast<CVTND_MovableTargetPicker*>(page.child(kIdPicker));
    if (picker != nullptr)
        picker->EnableDrop();
    if (channel.GetTargetName() && channel.GetTargetObject() == nullptr) {
        SWnode* found = world != nullptr && world->GetRootNode() != nullptr
                            ? world->GetRootNode()->FindByName(*channel.GetTargetName())
                            : nullptr;
        const CVTND_WorldWriteLock lock(world);
        channel.SetTargetObject(found != nullptr && found->HasKind(SWnode::kKindObject) ? found : nullptr);
    }
    const uint8_t flags = channel.GetFrameBits();
    int32_t index = 0;
    for (int32_t i = 1; i < 5; ++i) {
        if ((flags & kFrameBits[i]) != 0) {
            index = i;
            break;
        }
    }
    frame->setCurSel(index);
    page.child(kIdOwnPivot)->enable(index != 0);
    ShowTarget(page, channel, index == kFrameTarget);
    if (picker != nullptr)
        picker->SetTarget(CEditorEngine::NodeIcon(channel.GetTargetObject()));
    page.item<pf::Button>(kIdOwnPivot)->setCheck((flags & kBitOwnPivot) != 0 ? pf::BST_CHECKED : 0);
    page.item<pf::Button>(kIdActualFrame)->setCheck((flags & kBitActualFrame) != 0 ? pf::BST_CHECKED : 0);
}

void Changed(pf::Dialog& page, const SWcontrolchannel& channel, const std::function<void(uint8_t)>& write)
{
    const int32_t index = page.item<pf::ComboBox>(kIdFrame)->getCurSel();
    if (index < 0 || index >= 5)
        return;
    uint8_t flags = channel.GetFrameBits() & (kBitActualFrame | kBitOwnPivot);
    ShowTarget(page, channel, false);
    if (index != 0) {
        page.child(kIdOwnPivot)->enable(true);
        if (page.item<pf::Button>(kIdOwnPivot)->getCheck() == pf::BST_CHECKED)
            flags |= kBitOwnPivot;
    }
    flags |= kFrameBits[index];
    write(flags);
    if (index == 0)
        page.child(kIdOwnPivot)->enable(false);
    if (index == kFrameTarget)
        ShowTarget(page, channel, true);
}

void ShowDropped(pf::Dialog& page, const SWnode& node)
{
    page.child(kIdTargetName)->setText(node.GetName().value_or(std::string()));
    if (auto* picker = dynamic_cast<CVTND_MovableTargetPicker*>(page.child(kIdPicker)))
        picker->SetTarget(CEditorEngine::NodeIcon(&node));
}

} // namespace frame_controls
