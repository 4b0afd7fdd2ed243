#pragma once
// SWrenderdrivers: the renderer's process-wide entry. It decides which processor-specific routine sets (MMX, SSE,
// SSE2) the software renderer may use, holds the angle table that meshes are lit from, starts COM and binds the
// Direct3D 8 entry when a runtime is registered. There is one, reached through Get(); Init also publishes it
// through Current() for the renderer's inner loops.
//
// The base class keeps the fields and the defaults (Init only resets, the apply operations switch features off);
// SWhostdrivers probes this machine. Init, the setters and Shutdown run on the main thread before the render
// thread starts and after it stops; the render and window threads only read the active flags, which is why they
// are plain bytes.
#include <cstdint>
#include <memory>

namespace pf {
class IDirect3D8;
class Profile;
} // namespace pf

class SWnodeextension; // what a node-extension factory makes; no factory is set in this system
class SWrenderer;
class SWrenderdevice;
class SWrendertarget;

inline constexpr int kAngleTableSize = 16384;

// What the processor offers, asked afresh each time a feature is tested.
struct SWcpuinfo {
    SWcpuinfo(); // probes through pf::cpuProbe()

    uint8_t hasMMX = 0;
    uint8_t hasSSE = 0;
    uint8_t hasSSE2 = 0;
};

class SWrenderdrivers {
public:
    using ExtensionFactory = SWnodeextension* (*)(); // caller owns what it makes
    using Direct3DCreate8Entry = pf::IDirect3D8* (*)(uint32_t sdkVersion);

    SWrenderdrivers() = default;
    SWrenderdrivers(const SWrenderdrivers&) = delete;
    SWrenderdrivers& operator=(const SWrenderdrivers&) = delete;
    virtual ~SWrenderdrivers(); // clears Current() when it names this object

    static SWrenderdrivers& Get();     // the process's one driver manager
    static SWrenderdrivers* Current(); // the one Init ran on last; null before

    virtual bool Init();           // false only when COM refused to start with a hard error; ready either way
    virtual bool Shutdown();       // true; undoes what Init did
    virtual bool BeginFloatMode(); // x87 at 24-bit precision, nearest, all exceptions masked; true
    virtual bool EndFloatMode();   // the word BeginFloatMode replaced; true

    uint8_t IsReady() const { return m_ready; }

    // Makes the Direct3D 8 pair, neither initialised: false, or either left null, when it cannot.
    using Direct3D8Factory = bool (*)(std::unique_ptr<SWrenderdevice>& outDevice,
                                      std::unique_ptr<SWrendertarget>& outSurface);
    static Direct3D8Factory SetDirect3D8Factory(Direct3D8Factory factory); // the previous one; null removes it
    // A renderer for device flags (1 window device, 2 Direct3D 8 device), or null when not ready or when no device
    // could be made.
    std::unique_ptr<SWrenderer> CreateRenderer(uint32_t flags) const;
    uint8_t UseMMX() const { return m_activeMMX; }
    uint8_t UseSSE() const { return m_activeSSE; }
    uint8_t UseSSE2() const { return m_activeSSE2; }
    uint8_t WantMMX() const { return m_wantedMMX; }
    uint8_t WantSSE() const { return m_wantedSSE; }
    uint8_t WantSSE2() const { return m_wantedSSE2; }

    void SetUseMMX(bool use); // remembers the wish; the feature is active only where the processor has it
    void SetUseSSE(bool use);
    void SetUseSSE2(bool use);
    // The "Viewer" values "MMX", "SSE", "SSE2": 1 turns a feature on, anything else off; a missing one is written
    // back as 1 and used as 1. A failed write-back is ignored: the store keeps the value for its next write.
    void ApplyViewerProfile(pf::Profile& profile);

    bool HasDirect3D() const { return m_direct3DCreate8 != nullptr; }
    pf::IDirect3D8* CreateDirect3D(uint32_t sdkVersion) const; // caller owns; null without a bound entry

    virtual SWnodeextension* CreateNodeExtension() const; // caller owns; null without a factory
    virtual void SetNodeExtensionFactory(ExtensionFactory factory);
    virtual SWnodeextension* CreateExtension() const;
    virtual void SetExtensionFactory(ExtensionFactory factory);

    // 16,384 entries, (2/pi) arcsin(i / 16383) in 16-bit fixed point, never decreasing; filled by Init.
    static const uint16_t* AngleTable();

protected:
    virtual void ApplyMMX(bool use); // the base class switches the feature off
    virtual void ApplySSE(bool use);
    virtual void ApplySSE2(bool use);

    void ResetFeatures();
    static void BuildAngleTable();

    ExtensionFactory m_nodeExtensionFactory = nullptr;
    ExtensionFactory m_extensionFactory = nullptr;
    uint8_t m_ready = 0;
    uint8_t m_activeSSE2 = 0;
    uint8_t m_activeSSE = 0;
    uint8_t m_activeMMX = 0;
    uint8_t m_wantedSSE2 = 0;
    uint8_t m_wantedSSE = 0;
    uint8_t m_wantedMMX = 0;
    uint32_t m_direct3DModule = 0; // a pf::ModuleHandle value; 0 when "d3d8.dll" is not there
    Direct3DCreate8Entry m_direct3DCreate8 = nullptr;
};

// The driver manager of this machine: features from the processor probe, COM, the optional Direct3D 8 runtime.
class SWhostdrivers final : public SWrenderdrivers {
public:
    bool Init() override;
    bool Shutdown() override;
    bool BeginFloatMode() override;
    bool EndFloatMode() override;

protected:
    void ApplyMMX(bool use) override;
    void ApplySSE(bool use) override;
    void ApplySSE2(bool use) override;

private:
    void ReleaseDirect3D();

    int m_comInits = 0; // successful CoInitialize calls not yet balanced
    uint16_t m_savedFloatWord = 0;
    bool m_floatWordSaved = false;
};
