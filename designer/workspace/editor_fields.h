#pragma once
// What the editors' fields share: the number fields, read whole and refused unless they hold one finite number in
// range, shown as "%g" would; the coordinate-frame controls of a control channel (frame combo, own pivot, actual
// frame, target name and picker, the same ids in every template that has them); the name field a details editor
// renames its object with on closing; the application's world they write to.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/base/typed_number.h"
#include "platform/ui/dialog/dialog.h"

class CVTND_ExtendedWorld;
class CVTND_ModelessEditorDlg;
class CVTND_Object;
class SWcontrolchannel;
class SWnode;
class SWworld;

CVTND_ExtendedWorld* DesignerWorld(); // the application's world, or null when there is none

// Closes a details editor whose name field holds typed: unchanged, it just closes; new, the world renames the object
// (rename) and every window hears of it before the editor closes. The role of the error to show when the name is
// empty or taken, the editor left open; 0 otherwise.
uint32_t CloseRenamed(CVTND_ModelessEditorDlg& editor, const std::string& typed, const std::string& old,
                      const CVTND_Object& object, const std::function<bool(CVTND_ExtendedWorld&)>& rename);

std::string FormatReal(double value, const char* format = "%g");

// The field's text cut to its first limit bytes, as the fixed buffer it was read into held it; empty without a field.
std::string FieldText(const pf::Window* field, size_t limit);

using pf::ReadTypedNumber;
using pf::ReadTypedWholeNumber;
using pf::TypedKind;
using pf::TypedNumber;
// Why a field took nothing: the numbers it takes, whole ones or any, and the text of what it keeps.
std::string TypedRefusalText(double low, double high, bool whole = false, const std::string& kept = {});
// On the main window's status bar: the field took nothing, the numbers it takes and what it keeps.
void ShowTypedRefusal(double low, double high, bool whole = false, const std::string& kept = {});
// After a refusal: the field shows the stored text, all selected, so that the next keystroke starts over.
void ShowStoredText(pf::Window* field, const std::string& stored);

// Typing into a field read at each key stores every number on the way: "1" and 10000 on the way to "1e40". So the
// field keeps, from the typing's first number, what it held before, and a refusal puts that back. The typing lasts
// while the field keeps the focus (without it, while each text read adds to the one before): a refused text stays
// meanwhile for the person to mend, and the field shows what it keeps once the focus leaves it (at once, when it has
// not the focus), unless a later text of the typing was taken: the field then shows that.
//
// Before a typed number is stored: restore puts back what the field keeps now. Only the typing's first one is kept.
void BeginTypedEdit(const pf::Window* field, std::function<void()> restore);
// A text not taken. Refused: what the field held before the typing began is put back, and the main window's status
// bar says what the field takes and what it keeps (kept(), asked once that is back); show(that text) puts it in the
// field. Unfinished ("", "+"): nothing is put back or said, and show(kept()) once the focus leaves.
void RefuseTypedEdit(const pf::Window* field, const std::function<std::string()>& kept,
                     std::function<void(const std::string&)> show, double low, double high, bool whole = false);
// The same where show() is ShowStoredText of kept with `quiet` set meanwhile, so that the field's own change
// handler does not take it for typing.
void RefuseTypedText(pf::Window* field, const std::function<std::string()>& kept, bool& quiet, double low, double high,
                     bool whole = false);

namespace frame_controls {

constexpr int32_t kIdFrame = 1376;
constexpr int32_t kIdOwnPivot = 1124;
constexpr int32_t kIdActualFrame = 1125;
constexpr int32_t kIdTargetName = 1390;
constexpr int32_t kIdPicker = 1003;
constexpr uint8_t kBitActualFrame = 0x40;
constexpr uint8_t kBitOwnPivot = 0x80;

// The target's name and picker, shown only for the target frame.
void ShowTarget(pf::Dialog& page, const SWcontrolchannel& channel, bool shown);
// Fills the controls from the channel, whose target is first looked up by name in the world when it has none.
void Init(pf::Dialog& page, SWcontrolchannel& channel, SWworld* world);
// The frame the combo now names: write(bits) stores the new frame bits, which keep the actual-frame flag.
void Changed(pf::Dialog& page, const SWcontrolchannel& channel, const std::function<void(uint8_t)>& write);
// The dropped node's name and picture, once the channels hold it.
void ShowDropped(pf::Dialog& page, const SWnode& node);
// The target's name again after a node was renamed, when the target frame is the one shown.
void ShowRenamed(pf::Dialog& page, const SWcontrolchannel& channel);

} // namespace frame_controls
