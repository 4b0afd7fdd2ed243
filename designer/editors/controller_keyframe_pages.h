#pragma once
// The key-frame pages of the controller editor: key-frame play (384) and jump (432), which play a named animation of
// the target nodes, and vertex play (434) and jump (443), which play the vertex frames of the target meshes. Each
// poses the target nodes itself when the host asks (WM_USER+60): the action's own motion is bound to each node in
// turn, set to the time, read and let go again, so the motion is left unbound. Frames are chosen with scroll bars
// from 0 to the host's frame limit, the limit itself included.
#include <cstdint>
#include <functional>
#include <vector>

#include "designer/editors/controller_editor.h"

class SWobjectnode;

class CVTND_ControllerKeyframePage : public CVTND_ControllerPage {
public:
    using CVTND_ControllerPage::CVTND_ControllerPage;

protected:
    static constexpr int32_t kStartBar = 1078;
    static constexpr int32_t kEndBar = 1081;

    pf::LResult handle(const pf::Msg& msg) override;
    virtual bool ApplyToChildren() const = 0;
    virtual void BarMoved(int32_t bar, int32_t position) = 0; // after the clamp and the bar's new position
    std::vector<SWnode*> ArgumentNodes() const;               // the action's named nodes found from the root
    // Every object node of the argument nodes, with their subtrees when the motion applies to children.
    void VisitTargets(const std::function<void(SWobjectnode&)>& visit) const;
    // Each target under the world's lock, then a repaint; nothing while suppressed or while the world runs.
    void PoseTargets(const std::function<void(SWobjectnode&)>& pose);
    void FillAnimations(); // the motion list and combo 1257 from the argument nodes
    void SetBar(int32_t bar, int32_t position, int32_t editId); // range 0..limit, shown within it
    // A frame typed beside a bar: a whole number from 0 to the limit moves the bar as a drag would; else refused.
    void FrameTyped(int32_t editId, int32_t bar);
    void ShowFrame(int32_t editId, int32_t position); // the field's text, when typing has not put it there
    void PoseNow(float t);                            // what a bar does after the host refreshed its duration
    bool Suppressed() const;
};

class CVTND_ControllerMotionKeyframesDlg : public CVTND_ControllerKeyframePage {
public:
    CVTND_ControllerMotionKeyframesDlg() : CVTND_ControllerKeyframePage(384, 220) {}

protected:
    void Open() override;
    bool Command(int32_t id, int32_t code) override;
    void PoseAt(float t) override;
    bool ApplyToChildren() const override;
    void BarMoved(int32_t bar, int32_t position) override;

private:
    void ClampFrames();
};

class CVTND_ControllerMotionKeyframesJumptoDlg : public CVTND_ControllerKeyframePage {
public:
    CVTND_ControllerMotionKeyframesJumptoDlg() : CVTND_ControllerKeyframePage(432, 140) {}

protected:
    void Open() override;
    bool Command(int32_t id, int32_t code) override;
    void PoseAt(float t) override;
    bool ApplyToChildren() const override;
    void BarMoved(int32_t bar, int32_t position) override;
};

// Vertex play and vertex jump share everything but their bars.
class CVTND_ControllerMotionVertexKeyframesDlg : public CVTND_ControllerKeyframePage {
public:
    CVTND_ControllerMotionVertexKeyframesDlg() : CVTND_ControllerKeyframePage(434, 220) {}

protected:
    CVTND_ControllerMotionVertexKeyframesDlg(int32_t idd, int32_t growth) : CVTND_ControllerKeyframePage(idd, growth) {}
    void Open() override;
    bool Command(int32_t id, int32_t code) override;
    void PoseAt(float t) override;
    void HostActivated(bool active) override;
    pf::LResult handle(const pf::Msg& msg) override;
    bool ApplyToChildren() const override;
    void BarMoved(int32_t bar, int32_t position) override;
    void RestoreVertices();
    int32_t VertexFrameLimit() const;
    virtual bool IsJump() const { return false; }
};

class CVTND_ControllerMotionVertexKeyframesJumptoDlg : public CVTND_ControllerMotionVertexKeyframesDlg {
public:
    CVTND_ControllerMotionVertexKeyframesJumptoDlg() : CVTND_ControllerMotionVertexKeyframesDlg(443, 120) {}

protected:
    bool IsJump() const override { return true; }
};
