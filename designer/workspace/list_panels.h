#pragma once
// The panels that list one kind of the world's objects: events, expressions, sounds and cursors. Each fills its
// report list from the world and keeps it in step through the base's notification handling.
#include "designer/workspace/panel_dlg.h"

class SWevent;

// The world's events by name. The event map and the event editor append a new event here themselves, before or
// after it is announced: AddEvent lists an event once whichever comes first.
class CVTND_EventsDlg final : public CVTND_ListPanelDlg {
public:
    explicit CVTND_EventsDlg(CVTNDesignerApp& app);
    bool AddEvent(SWevent* event) { return AddItem(event); } // false when listed already
    void RedrawList();                                       // after an event changed

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    std::string ItemText(void* object, int32_t column) const override;
    pf::ImageListRef Images() override;
    int32_t ItemImage(void* object) const override;

private:
    pf::ImageListRef m_images; // the event icons at the small size, as the list's rows take them
};

// The world's expression entries by name, with New, which runs the expression editor on no entry.
class CVTND_ExpressionsDlg final : public CVTND_ListPanelDlg {
public:
    explicit CVTND_ExpressionsDlg(CVTNDesignerApp& app);
    void NewExpression();

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    std::string ItemText(void* object, int32_t column) const override;
    void OnCommand(int32_t id) override;
    void Layout(const pf::Rect& client) override;
};

class CVTND_SoundsDlg final : public CVTND_ListPanelDlg {
public:
    explicit CVTND_SoundsDlg(CVTNDesignerApp& app);

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    std::string ItemText(void* object, int32_t column) const override;
};

// The world's cursors, name and id; a double click runs the icon browser for the entry.
class CVTND_CursorsDlg final : public CVTND_ListPanelDlg {
public:
    explicit CVTND_CursorsDlg(CVTNDesignerApp& app);

protected:
    void Fill(CVTND_ExtendedWorld& world) override;
    // Narrow enough that both show in a bar of the default bottom row.
    std::vector<Column> Columns() const override { return {{"Name", 90}, {"Id", 36}}; }
    std::string ItemText(void* object, int32_t column) const override;
};

// Dialog template ids of the panels and the ids of their controls.
namespace panel_ids {
inline constexpr int32_t kEvents = 25000;
inline constexpr int32_t kActions = 25001;
inline constexpr int32_t kExpressions = 25002;
inline constexpr int32_t kJava = 25003;
inline constexpr int32_t kSceneGraph = 25004;
inline constexpr int32_t kSounds = 25005;
inline constexpr int32_t kCursors = 25006;
inline constexpr int32_t kProperties = 25007;
inline constexpr int32_t kManipulate = 25008;
inline constexpr int32_t kResources = 25009;
inline constexpr int32_t kAdd = 25101;
inline constexpr int32_t kCast = 25102;
inline constexpr int32_t kEdit = 25103;
inline constexpr int32_t kNew = 25104;
inline constexpr int32_t kFirstValueEdit = 25110; // nine: position, rotation in degrees, scale; x, y, z each
inline constexpr int32_t kSet = 25120;
inline constexpr int32_t kReset = 25121;
inline constexpr int32_t kFirstValueLabel = 25130; // three row labels
} // namespace panel_ids
