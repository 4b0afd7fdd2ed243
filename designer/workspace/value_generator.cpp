#include "designer/workspace/value_generator.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "designer/app/world_write_lock.h"
#include "designer/workspace/display_units.h"
#include "designer/workspace/editor_fields.h"
#include "designer/workspace/number_text.h"
#include "designer/workspace/workspace_messages.h"
#include "engine/behaviour/generator.h"
#include "platform/base/user_constants.h"
#include "platform/ui/controls/button.h"
#include "platform/ui/controls/edit.h"
#include "platform/ui/controls/up_down.h"
#include "platform/ui/core/menu.h"
#include "platform/ui/core/ui.h"

namespace {

constexpr uint8_t kConstant = SWgenerator::kAxisTrack;
constexpr uint8_t kLastType = SWgenerator::kPolynomial;
constexpr int32_t kSpinWidth = 16;
constexpr double kLargest = std::numeric_limits<float>::max(); // what a typed or stepped value may reach
// The menu lists the constant first, then the waveforms, then the others.
constexpr uint8_t kMenuOrder[] = {6, 1, 2, 3, 4, 5, 8, 9, 7};

std::array<CVTND_GeneratorDialogConstructor, kLastType + 1>& DialogConstructors()
{
    static std::array<CVTND_GeneratorDialogConstructor, kLastType + 1> constructors{};
    return constructors;
}

} // namespace

void CVTND_GeneratorDialog::postNcDestroy()
{
    m_control->DialogGone(*this); // deletes this
}

CVTND_ValueGenerator::CVTND_ValueGenerator() = default;

CVTND_ValueGenerator::~CVTND_ValueGenerator()
{
    CloseDialogs();
}

bool CVTND_ValueGenerator::RegisterDialog(uint8_t type, CVTND_GeneratorDialogConstructor constructor)
{
    if (SlotOfType(type) < 0 || DialogConstructors()[type] != nullptr)
        return false;
    DialogConstructors()[type] = constructor;
    return true;
}

CVTND_GeneratorDialogConstructor CVTND_ValueGenerator::ReplaceDialog(uint8_t type, CVTND_GeneratorDialogConstructor c)
{
    if (SlotOfType(type) < 0)
        return nullptr;
    return std::exchange(DialogConstructors()[type], c);
}

int CVTND_ValueGenerator::SlotOfType(uint8_t type)
{
    if (type >= SWgenerator::kSine && type <= SWgenerator::kSawtoothDown)
        return static_cast<int>(DialogSlot::kWaveform);
    switch (type) {
    case SWgenerator::kProperty:
        return static_cast<int>(DialogSlot::kProperty);
    case SWgenerator::kRandom:
        return static_cast<int>(DialogSlot::kRandom);
    case SWgenerator::kPolynomial:
        return static_cast<int>(DialogSlot::kPolynomial);
    default:
        return -1;
    }
}

std::unique_ptr<SWgenerator> CVTND_ValueGenerator::MakeGenerator(uint8_t type, SWworld* world, float constant)
{
    switch (type) {
    case SWgenerator::kAxisTrack:
        return std::make_unique<SWaxistrack>(world, constant);
    case SWgenerator::kProperty:
        return std::make_unique<SWpropertygenerator>(world);
    case SWgenerator::kRandom:
        return std::make_unique<SWrandomgenerator>(world);
    case SWgenerator::kPolynomial:
        return std::make_unique<SWpolynomialgenerator>(world);
    default:
        break;
    }
    if (type < SWgenerator::kSine || type > SWgenerator::kSawtoothDown)
        return nullptr;
    auto wave = std::make_unique<SWwaveformgenerator>(world);
    wave->SetShape(type);
    return wave;
}

const char* CVTND_ValueGenerator::KindName(uint8_t type)
{
    static constexpr const char* kNames[] = {
        "",         "Sine",     "Square", "Triangle",  "Sawtooth up", "Sawtooth down",
        "Constant", "Property", "Random", "Polynomial"};
    return type <= kLastType ? kNames[type] : "";
}

pf::Edit* CVTND_ValueGenerator::GetEdit() const
{
    return dynamic_cast<pf::Edit*>(child(kEditId));
}

pf::UpDown* CVTND_ValueGenerator::GetSpin() const
{
    return dynamic_cast<pf::UpDown*>(child(kSpinId));
}

pf::Button* CVTND_ValueGenerator::GetButton() const
{
    return dynamic_cast<pf::Button*>(child(kButtonId));
}

void CVTND_ValueGenerator::ShowRenamed()
{
    // The dialog writes its field into the generator at each keystroke, so the generator holds what it showed.
    if (CVTND_GeneratorDialog* dialog = GetDialog(DialogSlot::kProperty); dialog != nullptr && dialog->isWindow())
        dialog->SetTarget(GetGenerator());
}

CVTND_GeneratorDialog* CVTND_ValueGenerator::GetDialog(DialogSlot slot) const
{
    return m_dialogs[static_cast<size_t>(slot)].get();
}

void CVTND_ValueGenerator::Initialize()
{
    if (!isWindow() || GetEdit() != nullptr)
        return;
    const pf::Hwnd self = hwnd();
    pf::ui().createWindow({"edit",
                           "",
                           pf::WS_CHILD | pf::WS_VISIBLE | pf::WS_BORDER | pf::WS_TABSTOP | pf::ES_AUTOHSCROLL,
                           0,
                           {},
                           self,
                           kEditId});
    pf::ui().createWindow({"updown", "", pf::WS_CHILD | pf::WS_VISIBLE | pf::UDS_SETBUDDYINT, 0, {}, self, kSpinId});
    pf::ui().createWindow({"button", "~", pf::WS_CHILD | pf::WS_VISIBLE | pf::WS_TABSTOP, 0, {}, self, kButtonId});
    if (pf::UpDown* spin = GetSpin(); spin != nullptr && GetEdit() != nullptr)
        spin->setBuddy(GetEdit()->hwnd());
    SetUnit(m_unit);
    Layout();
}

void CVTND_ValueGenerator::Layout()
{
    const pf::Rect client = clientRect();
    const int32_t buttonWidth = m_animated ? static_cast<int32_t>(client.height()) : 0;
    const int32_t spinLeft = std::max(client.l, client.r - buttonWidth - kSpinWidth);
    if (pf::Edit* edit = GetEdit())
        edit->move({client.l, client.t, spinLeft, client.b});
    if (pf::UpDown* spin = GetSpin())
        spin->move({spinLeft, client.t, spinLeft + kSpinWidth, client.b});
    if (pf::Button* button = GetButton()) {
        button->move({client.r - buttonWidth, client.t, client.r, client.b});
        button->show(m_animated ? pf::SW_SHOW : pf::SW_HIDE);
    }
}

void CVTND_ValueGenerator::AttachValue(const CVTND_GeneratorSlot& slot, float emptyValue)
{
    if (!(slot == m_slot))
        CloseDialogs();
    m_slot = slot;
    m_emptyValue = emptyValue;
    UpdateText();
}

std::pair<int32_t, int32_t> CVTND_ValueGenerator::SpinRange() const
{
    switch (static_cast<DisplayUnit>(m_unit)) {
    case DisplayUnit::kDegrees:
        return {-360, 360};
    case DisplayUnit::kColour:
        return {0, 255};
    case DisplayUnit::kPlain:
    case DisplayUnit::kPercent:
        break;
    }
    return {-32767, 32767};
}

void CVTND_ValueGenerator::SetUnit(int32_t unit)
{
    m_unit = unit >= 0 && unit <= 3 ? unit : 0;
    if (pf::UpDown* spin = GetSpin())
        spin->setRange32(SpinRange().first, SpinRange().second);
    UpdateText();
    for (const DialogSlot slot : {DialogSlot::kWaveform, DialogSlot::kRandom, DialogSlot::kPolynomial})
        if (CVTND_GeneratorDialog* dialog = GetDialog(slot))
            dialog->SetMode(m_unit);
}

void CVTND_ValueGenerator::SetAnimated(bool animated)
{
    m_animated = animated;
    SWgenerator* generator = GetGenerator();
    if (!animated && generator != nullptr && generator->GetType() != kConstant) {
        const float output = generator->GetValue();
        ReplaceGenerator(MakeGenerator(kConstant, m_slot.GetWorld(), output));
    }
    Layout();
    UpdateText();
}

void CVTND_ValueGenerator::UpdateText()
{
    pf::Edit* edit = GetEdit();
    if (edit == nullptr)
        return;
    const SWgenerator* generator = GetGenerator();
    const bool plain = generator == nullptr || generator->GetType() == kConstant;
    std::string text;
    if (!m_slot.IsBound())
        text = "";
    else if (generator == nullptr)
        text = FormatInDisplayUnits(m_unit, m_emptyValue);
    else if (plain)
        text = FormatInDisplayUnits(m_unit, static_cast<const SWaxistrack*>(generator)->GetAmount());
    else
        text = KindName(generator->GetType());
    m_updating = true;
    edit->setReadOnly(!plain);
    edit->setText(text);
    m_updating = false;
    if (pf::UpDown* spin = GetSpin())
        spin->enable(plain && m_slot.IsBound());
}

void CVTND_ValueGenerator::Send(uint32_t message, pf::WParam w)
{
    workspace_messages::SendToParent(*this, message, w, reinterpret_cast<pf::LParam>(this));
}

void CVTND_ValueGenerator::NotifyParent(int32_t code)
{
    if (code >= 1 && code <= 3)
        UpdateText();
    Send(workspace_messages::kGeneratorChanged, static_cast<pf::WParam>(code));
}

void CVTND_ValueGenerator::CloseDialogs()
{
    for (std::unique_ptr<CVTND_GeneratorDialog>& slot : m_dialogs) {
        CVTND_GeneratorDialog* dialog = slot.get();
        if (dialog == nullptr)
            continue;
        if (dialog->isWindow())
            dialog->destroy(); // its last call gives it back to us, which empties the slot
        if (slot.get() == dialog) {
            // Already on its way out (its own close led here): it keeps its slot until its last call, but it no
            // longer edits the generator that is about to go.
            dialog->SetTarget(nullptr);
            if (!dialog->isWindow() && slot.get() == dialog)
                slot.reset();
        }
    }
}

void CVTND_ValueGenerator::DialogGone(CVTND_GeneratorDialog& dialog)
{
    for (std::unique_ptr<CVTND_GeneratorDialog>& slot : m_dialogs)
        if (slot.get() == &dialog)
            slot.reset();
}

void CVTND_ValueGenerator::ReplaceGenerator(std::unique_ptr<SWgenerator> generator)
{
    CloseDialogs(); // no dialog may edit the generator that goes
    m_slot.Replace(std::move(generator));
    UpdateText();
}

bool CVTND_ValueGenerator::ChooseGenerator(uint8_t type)
{
    if (type < SWgenerator::kSine || type > kLastType || !m_slot.IsBound())
        return false;
    const SWgenerator* current = GetGenerator();
    if (current != nullptr && current->GetType() == type) {
        OpenDialog(type);
        return true;
    }
    const float output = current != nullptr ? current->GetValue() : m_emptyValue;
    ReplaceGenerator(MakeGenerator(type, m_slot.GetWorld(), output));
    Send(workspace_messages::kGeneratorReplaced, static_cast<pf::WParam>(id()));
    return true;
}

void CVTND_ValueGenerator::OpenDialog(uint8_t type)
{
    const int slot = SlotOfType(type);
    const CVTND_GeneratorDialogConstructor make = slot < 0 ? nullptr : DialogConstructors()[type];
    if (make == nullptr || m_dialogs[static_cast<size_t>(slot)] != nullptr)
        return;
    std::unique_ptr<CVTND_GeneratorDialog> made = make(*this, parent());
    if (made == nullptr || !made->isWindow())
        return;
    CVTND_GeneratorDialog* dialog = made.get();
    m_dialogs[static_cast<size_t>(slot)] = std::move(made);
    // Each call may close the dialog again; it then is gone from its slot and nothing more is asked of it.
    const auto stillOpen = [&] { return m_dialogs[static_cast<size_t>(slot)].get() == dialog; };
    dialog->show(pf::SW_SHOW);
    if (stillOpen())
        dialog->SetMode(m_unit);
    if (stillOpen())
        dialog->SetTarget(GetGenerator());
}

void CVTND_ValueGenerator::ShowGeneratorMenu()
{
    const SWgenerator* current = GetGenerator();
    std::vector<pf::MenuItem> items;
    for (const uint8_t type : kMenuOrder) {
        const bool checked = current != nullptr && current->GetType() == type;
        items.push_back({kMenuCommandBase + type, KindName(type), checked ? pf::MF_CHECKED : 0u, {}});
    }
    const pf::Button* button = GetButton();
    const pf::Point at = button != nullptr ? button->clientToScreen({0, static_cast<int32_t>(button->clientRect().b)})
                                           : clientToScreen({0, 0});
    // The current kind lit: Down and Return from it choose the next, where from nothing lit they chose it again.
    const uint32_t command =
        pf::Menu(std::move(items)).trackPopup(pf::TPM_RETURNCMD | pf::TPM_SELECTCHECKED, at, *this);
    if (command > kMenuCommandBase && command <= kMenuCommandBase + kLastType)
        ChooseGenerator(static_cast<uint8_t>(command - kMenuCommandBase));
}

void CVTND_ValueGenerator::ValueTyped()
{
    const pf::Edit* edit = GetEdit();
    if (edit == nullptr || !m_slot.IsBound())
        return;
    const TypedNumber typed = ReadTypedNumber(edit->text(), -kLargest, kLargest);
    const float value = FromDisplayUnits(m_unit, static_cast<float>(typed.value));
    const pf::Hwnd self = hwnd();
    if (typed.kind != TypedKind::kNumber || !std::isfinite(value)) {
        const auto kept = [this] {
            const SWgenerator* stored = GetGenerator();
            return stored == nullptr ? FormatInDisplayUnits(m_unit, m_emptyValue)
                   : stored->GetType() == kConstant
                       ? FormatInDisplayUnits(m_unit, static_cast<const SWaxistrack*>(stored)->GetAmount())
                       : std::string(KindName(stored->GetType()));
        };
        const auto shown = [this, self](const std::string&) {
            if (!isAlive(self, this))
                return;
            UpdateText(); // the field shows what the slot keeps
            if (pf::Edit* field = GetEdit())
                field->setSel(0, -1);
        };
        RefuseTypedEdit(edit, kept, shown, -kLargest, kLargest);
        return;
    }
    SWgenerator* generator = GetGenerator();
    if (generator != nullptr && generator->GetType() != kConstant)
        return;
    // What the slot held before the typing: nothing, or a constant.
    BeginTypedEdit(edit, [this, self, empty = generator == nullptr,
                          before = generator != nullptr ? static_cast<SWaxistrack*>(generator)->GetAmount() : 0.0f] {
        SWgenerator* now = isAlive(self, this) ? GetGenerator() : nullptr;
        if (now == nullptr || now->GetType() != kConstant)
            return;
        if (empty) {
            m_slot.Empty();
            Send(workspace_messages::kGeneratorReplaced, static_cast<pf::WParam>(id()));
            return;
        }
        {
            const CVTND_WorldWriteLock lock(m_slot.GetWorld());
            static_cast<SWaxistrack*>(now)->SetAmount(before);
        }
        Send(workspace_messages::kValueTyped, static_cast<pf::WParam>(id()));
    });
    if (generator == nullptr) {
        // An empty slot takes a constant only when a person types one: opening an editor never fills it.
        m_slot.Replace(MakeGenerator(kConstant, m_slot.GetWorld(), value));
        Send(workspace_messages::kGeneratorReplaced, static_cast<pf::WParam>(id()));
        if (!isAlive(self, this))
            return;
    } else {
        const CVTND_WorldWriteLock lock(m_slot.GetWorld());
        static_cast<SWaxistrack*>(generator)->SetAmount(value);
    }
    Send(workspace_messages::kValueTyped, static_cast<pf::WParam>(id()));
}

// The field takes any number and the spin's range is whole numbers within its own bounds: stepped by the spin, a
// field holding 720 degrees or 12.5 would jump to the range's end or to the spin's last whole number. The step is
// taken from what the field holds, as a typing of the next number.
void CVTND_ValueGenerator::Step(int32_t delta)
{
    pf::Edit* edit = GetEdit();
    const SWgenerator* generator = GetGenerator();
    if (edit == nullptr || (generator != nullptr && generator->GetType() != kConstant))
        return;
    const TypedNumber typed = ReadTypedNumber(edit->text(), -kLargest, kLargest);
    if (typed.kind != TypedKind::kNumber)
        return;
    edit->setText(FormatInDisplayUnits(m_unit, FromDisplayUnits(m_unit, static_cast<float>(typed.value + delta))));
}

pf::LResult CVTND_ValueGenerator::handle(const pf::Msg& msg)
{
    switch (msg.message) {
    case pf::WM_NOTIFY:
        if (const auto* note = pf::notifyRecord<pf::NMUPDOWN>(msg.lParam);
            note != nullptr && note->hdr.code == pf::UDN_DELTAPOS) {
            Step(note->iDelta);
            return 1; // the spin moves nothing itself
        }
        return pf::Control::handle(msg);
    case pf::WM_CREATE:
        Initialize();
        return 0;
    case pf::WM_SIZE:
        Layout();
        return 0;
    case pf::WM_COMMAND:
        if (pf::loWord(msg.wParam) == kEditId && pf::hiWord(msg.wParam) == pf::EN_CHANGE && !m_updating)
            ValueTyped();
        else if (pf::loWord(msg.wParam) == kButtonId && pf::hiWord(msg.wParam) == pf::BN_CLICKED)
            ShowGeneratorMenu();
        return 0;
    case pf::WM_DESTROY:
        CloseDialogs();
        return pf::Control::handle(msg);
    default:
        return pf::Control::handle(msg);
    }
}
