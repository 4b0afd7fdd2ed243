#pragma once
// CVTND_Event: the record of the designer's one notification, WM_USER+125, sent synchronously to every tool window
// with the record's address as lParam. The sender builds it on its stack, broadcasts it and lets it go; a receiver
// reads it during the send and keeps nothing of it.
#include <cstdint>
#include <optional>
#include <string>

#include "designer/app/project_object.h"
#include "platform/base/hwnd.h"
#include "platform/base/user_constants.h"

inline constexpr uint32_t kMsgDesignerNotify = pf::WM_USER + 125; // 1149; lParam: const CVTND_Event*

// Codes. 6 is not used. 9, 11 and 12 carry no subject; the application sends them, never the engine.
enum class EventCode : uint32_t {
    kCreated = 1,          // for a new action, the first related object is its event
    kDeleted = 2,          // sent while the object still lives
    kRenamed = 3,          // first text the old name, second text the new one
    kChanged = 4,          // the detail says what (EventDetail)
    kMoved = 5,            // an action to another event (related: previous and target event), or a re-parented node
    kReplaced = 7,         // a texture or expression replaced by the first related object
    kWorkspaceClosing = 9, // the project, world and gradient store are about to be swapped or deleted
    kPreviewStarted = 11,
    kPreviewStopped = 12,
};

// Details of kChanged.
enum class EventDetail : uint32_t {
    kNone = 0,
    kPlaySound = 1,
    kArgumentAdded = 2,
    kArgumentRemoved = 3,
    kTargetsPicked = 4,
    kArgumentChanged = 5,
    kEditorSpecific = 6,
    kAutoResetToggled = 9,
    kInitiallyActiveToggled = 10,
    kGeometryReplaced = 11, // a synchronised file's drawing is about to replace the node's; the old one goes
};

class CVTND_Event {
public:
    CVTND_Event() = default; // texts null, objects empty, code and detail 0
    CVTND_Event(EventCode code, const CVTND_Object& subject) : subject(subject), code(static_cast<uint32_t>(code)) {}

    bool Is(EventCode what) const { return code == static_cast<uint32_t>(what); }
    void SetTexts(std::optional<std::string> first, std::optional<std::string> second)
    {
        firstText = std::move(first);
        secondText = std::move(second);
    }

    CVTND_Object subject;
    uint32_t code = 0;
    uint32_t detail = 0;
    CVTND_Object related[3];
    std::optional<std::string> firstText; // our own copies
    std::optional<std::string> secondText;
    pf::Hwnd sender = pf::kNoWindow; // a receiver that sent the record may ignore it
};
