#pragma once
// The action classes of the kinds that carry settings of their own. Each keeps its settings in one plain struct,
// so a copy takes all of them and a reader sees the stored order at a glance.
//
// Index:
//   old animation (0, 2), old jump (32), old arcball (4), sound (7), background (19), visibility (21, 22),
//   condition (25), old translation (26), old rotation (27), queue (30), stop queue (31), kind 33, reset (34),
//   stereo (37), host message (40), motion (41-45, 47, 50-53, 59-64), stop motions (46), particles (48, 49),
//   load world (54), unload world (55), show world (56), hot-spot label (57, 58).
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/behaviour/action_node.h"
#include "engine/core/matrix.h"
#include "engine/core/quaternion.h"

class SWbackground;
class SWmotion;
class SWpicture;
class SWproperty;
class SWtexture;

// Kinds 0 and 2. Field roles: the first byte locks the axes; the hierarchy byte plays the subtree; then loop for
// ever; the pass count (default 1); ping-pong, start from the current frame and two spare bytes; the start frame;
// the end frame (-1: the last); use-duration; the duration and the transition in seconds; the clip id.
class SWoldanimationaction : public SWactionnode {
public:
    struct Settings {
        uint8_t axisLock = 0;
        uint8_t hierarchy = 1;
        uint8_t loopForever = 0;
        int32_t passCount = 1;
        uint8_t pingPong = 0;
        uint8_t fromCurrentFrame = 0;
        std::array<uint8_t, 2> spare{};
        int32_t startFrame = 0;
        int32_t endFrame = -1;
        uint8_t useDuration = 0;
        double durationSeconds = 0.0;
        double transitionSeconds = 0.0;
        int32_t clipId = 0;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    Settings settings;
};

// Kind 32. The first byte locks the axes; the hierarchy byte; the frame; the transition in seconds (stored where
// two 32-bit fields stand); the clip id.
class SWoldjumpaction : public SWactionnode {
public:
    struct Settings {
        uint8_t axisLock = 0;
        uint8_t hierarchy = 1;
        int32_t frame = 0;
        double transitionSeconds = 0.0;
        int32_t clipId = 0;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    Settings settings;
};

class SWoldarcballaction : public SWactionnode { // kind 4
public:
    struct Settings {
        std::array<uint8_t, 3> buttonModes{3, 6, 7};
        std::array<float, 6> values{100.0f, 100.0f, 100.0f, 100.0f, 100.0f, 100.0f};
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    Settings settings;
};

class SWsoundaction : public SWactionnode { // kind 7
public:
    struct Settings {
        uint8_t playOption1 = 0;  // loop
        uint32_t playOption2 = 1; // repeat count, as the record stores it
        uint32_t startMs = 0;
        uint32_t endMs = 0;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    Settings settings;
};

class SWbackgroundaction : public SWactionnode { // kind 19
public:
    struct Settings {
        float red = 0.0f, green = 0.0f, blue = 1.0f; // 0..1
        uint32_t mode = 1;
    };
    explicit SWbackgroundaction(int32_t kindId = 19);
    SWbackgroundaction(const SWbackground& background); // its texture's name, its colour and mode
    ~SWbackgroundaction() override;
    SWactionnode* Clone() const override;
    void SetTextureName(std::optional<std::string> name) { m_textureName = std::move(name); }
    const std::optional<std::string>& GetTextureName() const { return m_textureName; }
    // The action's own picture when it has one, else the world's texture of that name, looked up at each use so a
    // deleted texture is never reached.
    SWtexture* GetTexture() const;
    // A picture stored inside the action's record (older files): the action owns it.
    void SetOwnPicture(std::unique_ptr<SWtexture> picture);
    SWtexture* GetOwnPicture() const { return m_ownPicture.get(); }
    Settings settings;

private:
    std::optional<std::string> m_textureName;
    std::unique_ptr<SWtexture> m_ownPicture;
};

class SWvisibilityaction : public SWactionnode { // kinds 21 (hide) and 22 (show)
public:
    struct Settings {
        uint8_t hide = 1;
        uint8_t subtree = 0;
    };
    explicit SWvisibilityaction(int32_t kindId) : SWactionnode(kindId) { settings.hide = kindId == 21 ? 1 : 0; }
    SWactionnode* Clone() const override;
    Settings settings;
};

// Kind 25. Comparison mask bits: 1 equal, 2 different, 4 greater, 8 less. Operands are kept by id with a cache
// stamped by the world's structure generation, so a deleted variable is never reached through it.
class SWconditionaction : public SWactionnode {
public:
    struct Settings {
        uint32_t operand1Id = kUnset;
        uint32_t operand2Id = kUnset;
        uint8_t result = 0;
        uint32_t spare = 0;
        std::optional<float> constant;
        uint8_t mask = 1;
        uint8_t changedOnly = 0;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override { return nullptr; }
    void SetOperand1(SWproperty* variable);
    void SetOperand2(SWproperty* variable);
    SWproperty* GetOperand1() const; // null when unset or gone
    SWproperty* GetOperand2() const; // null: compare with the constant
    Settings settings;

private:
    SWproperty* Resolve(uint32_t id, SWproperty*& cache, uint64_t& stamp) const;

    mutable SWproperty* m_cache1 = nullptr; // valid while m_stamp1 is the world's generation
    mutable SWproperty* m_cache2 = nullptr;
    mutable uint64_t m_stamp1 = UINT64_MAX;
    mutable uint64_t m_stamp2 = UINT64_MAX;
};

class SWoldtranslationaction : public SWactionnode { // kind 26
public:
    struct Settings {
        float x = 0.0f, y = 0.0f, z = 0.0f;
        uint32_t durationMs = 1000;
        uint8_t continuous = 0;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    Settings settings;
};

class SWoldrotationaction : public SWactionnode { // kind 27
public:
    struct Settings {
        CVTN_Quaternion rotation;
        uint32_t durationMs = 1000;
        uint8_t continuous = 0;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    Settings settings;
};

class SWqueueaction : public SWactionnode { // kind 30; its members name it by their queue link
public:
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override { return nullptr; }
    bool IsLooping() const { return m_loop != 0; }
    void SetLoop(uint8_t loop) { m_loop = loop; }

private:
    uint8_t m_loop = 0;
};

// Kinds 31 and 46 keep lists of action ids; merging renumbers them with the actions.
class SWstopsequencenode : public SWactionnode {
public:
    using SWactionnode::SWactionnode;
    const std::vector<uint32_t>& GetIds() const { return m_ids; }
    void AddId(uint32_t id) { m_ids.push_back(id); }
    bool RemoveId(uint32_t id); // the first entry of that id; false when none is listed
    void ClearIds() { m_ids.clear(); }
    void RemapIds(const std::map<uint32_t, uint32_t>& map) override;

protected:
    std::vector<uint32_t> m_ids;
};

class SWstopqueueaction : public SWstopsequencenode { // kind 31: queue action ids
public:
    using SWstopsequencenode::SWstopsequencenode;
    SWactionnode* Clone() const override;
};

class SWkind33action : public SWactionnode {
public:
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override { return nullptr; }
};

class SWresetaction : public SWactionnode { // kind 34
public:
    struct Settings {
        uint8_t position = 1, rotation = 1, subtree = 1, fullReset = 0;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    Settings settings;
};

class SWstereoaction : public SWactionnode { // kind 37
public:
    struct Settings {
        uint8_t eye = 2;
        uint8_t stereoOn = 1;
        float separation = 0.16666667f;
        float value2 = 1.0f;
        uint8_t byte3 = 1;
        float value3 = 0.4f;
        uint8_t byte4 = 1;
        float value4 = 0.53333336f;
        float value5 = 4.0f;
        float value6 = 3.0f;
        int32_t int1 = 0;
        float value7 = 0.28f;
        float value8 = 0.5f;
        float value9 = 0.015f;
        uint8_t byte5 = 1;
        uint8_t byte6 = 1;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override; // every setting, not only the first two
    Settings settings;
};

class SWhostmessageaction : public SWactionnode { // kind 40
public:
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    uint8_t sendVariable = 0;
};

// Kinds 41-45, 47, 50-53, 59-64: an action that owns the template of its motion.
class SWmotionaction : public SWactionnode {
public:
    using SWactionnode::SWactionnode;
    ~SWmotionaction() override;
    SWactionnode* Clone() const override { return nullptr; }
    double GetDuration(int32_t& outPasses, int32_t* outFrames) const override;
    void StretchDuration(double ms) override;
    SWmotion* GetMotion() const override { return m_motion.get(); }
    void SetMotion(std::unique_ptr<SWmotion> motion); // the motion learns the action's id

private:
    std::unique_ptr<SWmotion> m_motion;
};

class SWstopmotionsaction : public SWstopsequencenode { // kind 46: target action ids
public:
    using SWstopsequencenode::SWstopsequencenode;
    SWactionnode* Clone() const override { return nullptr; }
    void AddTarget(uint32_t actionId); // unless present
    uint8_t all = 0;
    uint8_t subtree = 1;
};

class SWparticleaction : public SWactionnode { // kinds 48 (start) and 49 (stop)
public:
    explicit SWparticleaction(int32_t kindId) : SWactionnode(kindId), start(kindId == 48 ? 1 : 0) {}
    SWactionnode* Clone() const override;
    uint8_t start;
    std::array<uint8_t, 8> opaque{}; // two 32-bit fields kept as they were read
};

class SWimportvtoactionnode : public SWactionnode { // kind 54
public:
    struct Settings {
        std::optional<std::string> fileName;
        uint32_t spare1 = 0;
        int32_t index = -1;
        uint8_t byte1 = 1, byte2 = 1;
        SWmatrix placement;
        uint32_t spare2 = 0;
    };
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    Settings settings;
};

class SWunloadworldaction : public SWactionnode { // kind 55
public:
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    uint8_t byte1 = 0, byte2 = 1;
};

class SWshowworldaction : public SWactionnode { // kind 56
public:
    using SWactionnode::SWactionnode;
    SWactionnode* Clone() const override;
    uint8_t show = 1, byte2 = 0, byte3 = 1;
};

class SWhotspotlabelaction : public SWactionnode { // kinds 57 (show) and 58 (toggle)
public:
    explicit SWhotspotlabelaction(int32_t kindId) : SWactionnode(kindId), mode(kindId == 57 ? 1 : 2) {}
    SWactionnode* Clone() const override;
    uint8_t mode;
};

// The class of a kind with its defaults; caller owns. Kind 39 carries its integer argument 0.
SWactionnode* MakeActionOfKind(int32_t kindId);
bool IsMotionKind(int32_t kindId);
// Timed-action types whose template runs itself (type 4 does too, once its target is looked up); every other type
// runs a clone per start. The run and the story board's preview both ask here, so they never choose differently.
bool RunsTemplate(uint32_t type);
