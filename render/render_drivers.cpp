#include "render/render_drivers.h"

#include <array>
#include <bit>
#include <cmath>

#include "platform/base/result.h"
#include "platform/settings/profile.h"
#include "platform/sys/com.h"
#include "platform/sys/cpu_probe.h"
#include "platform/sys/fpu_control.h"
#include "platform/sys/modules.h"

namespace {

SWrenderdrivers* g_renderDrivers = nullptr; // set by Init; read by the renderer's inner loops
std::array<uint16_t, kAngleTableSize> g_angleTable{};

// The float nearest 1/16383. Widened to double before the product: formed in single precision, the last entry
// would reach 65535.
constexpr uint32_t kAngleStepBits = 0x38800200;
constexpr double kAngleScale = 41720.875; // about 2 x 65535 / pi

constexpr uint16_t kFloatModeBits = pf::kFpuExceptionMasks; // 24-bit precision and nearest are both zero fields
constexpr uint16_t kFloatModeFields = pf::kFpuPrecisionMask | pf::kFpuRoundingMask | pf::kFpuExceptionMasks;

bool IsHardComFailure(pf::HResult result)
{
    return result == pf::E_INVALIDARG || result == pf::E_OUTOFMEMORY || result == pf::E_UNEXPECTED;
}

// One "Viewer" value: missing (negative) is written back as 1; only 1 turns the feature on.
bool ReadViewerSwitch(pf::Profile& profile, const char* name)
{
    int value = profile.getInt("Viewer", name, -1);
    if (value < 0) {
        profile.writeInt("Viewer", name, 1); // a failed write stays in memory for the store's next write
        value = 1;
    }
    return value == 1;
}

} // namespace

SWcpuinfo::SWcpuinfo()
{
    pf::CpuProbe& cpu = pf::cpuProbe();
    pf::CpuidRegs leaf0;
    if (!cpu.cpuid(0, leaf0) || leaf0.eax == 0)
        return;
    // Another maker's processor runs the plain routines everywhere: the variants were only proven on this one.
    if (pf::vendorString(leaf0) != "GenuineIntel")
        return;
    pf::CpuidRegs leaf1;
    if (!cpu.cpuid(1, leaf1))
        return;
    hasMMX = (leaf1.edx & pf::kCpuidMmxBit) != 0 ? 1 : 0;
    if ((leaf1.edx & pf::kCpuidSseBit) == 0 || !cpu.emBitClear())
        return; // with x87 emulation on, both trial instructions would fault
    hasSSE = cpu.trySse() ? 1 : 0;
    // SSE2 code also relies on SSE; a processor whose SSE trial faulted gets neither.
    if (hasSSE != 0 && (leaf1.edx & pf::kCpuidSse2Bit) != 0)
        hasSSE2 = cpu.trySse2() ? 1 : 0;
}

SWrenderdrivers::~SWrenderdrivers()
{
    if (g_renderDrivers == this)
        g_renderDrivers = nullptr;
}

SWrenderdrivers& SWrenderdrivers::Get()
{
    static SWhostdrivers drivers;
    return drivers;
}

SWrenderdrivers* SWrenderdrivers::Current()
{
    return g_renderDrivers;
}

bool SWrenderdrivers::Init()
{
    g_renderDrivers = this;
    ResetFeatures();
    return true;
}

bool SWrenderdrivers::Shutdown()
{
    m_ready = 0;
    return true;
}

bool SWrenderdrivers::BeginFloatMode()
{
    return true;
}

bool SWrenderdrivers::EndFloatMode()
{
    return true;
}

void SWrenderdrivers::SetUseMMX(bool use)
{
    m_wantedMMX = use ? 1 : 0;
    ApplyMMX(use);
}

void SWrenderdrivers::SetUseSSE(bool use)
{
    m_wantedSSE = use ? 1 : 0;
    ApplySSE(use);
}

void SWrenderdrivers::SetUseSSE2(bool use)
{
    m_wantedSSE2 = use ? 1 : 0;
    ApplySSE2(use);
}

void SWrenderdrivers::ApplyViewerProfile(pf::Profile& profile)
{
    SetUseMMX(ReadViewerSwitch(profile, "MMX"));
    SetUseSSE(ReadViewerSwitch(profile, "SSE"));
    SetUseSSE2(ReadViewerSwitch(profile, "SSE2"));
}

pf::IDirect3D8* SWrenderdrivers::CreateDirect3D(uint32_t sdkVersion) const
{
    return m_direct3DCreate8 != nullptr ? m_direct3DCreate8(sdkVersion) : nullptr;
}

SWnodeextension* SWrenderdrivers::CreateNodeExtension() const
{
    return m_nodeExtensionFactory != nullptr ? m_nodeExtensionFactory() : nullptr;
}

void SWrenderdrivers::SetNodeExtensionFactory(ExtensionFactory factory)
{
    m_nodeExtensionFactory = factory;
}

SWnodeextension* SWrenderdrivers::CreateExtension() const
{
    return m_extensionFactory != nullptr ? m_extensionFactory() : nullptr;
}

void SWrenderdrivers::SetExtensionFactory(ExtensionFactory factory)
{
    m_extensionFactory = factory;
}

const uint16_t* SWrenderdrivers::AngleTable()
{
    return g_angleTable.data();
}

void SWrenderdrivers::ApplyMMX(bool)
{
    m_activeMMX = 0;
}

void SWrenderdrivers::ApplySSE(bool)
{
    m_activeSSE = 0;
}

void SWrenderdrivers::ApplySSE2(bool)
{
    m_activeSSE2 = 0;
}

void SWrenderdrivers::ResetFeatures()
{
    m_activeSSE2 = m_activeSSE = m_activeMMX = 0;
    m_wantedSSE2 = m_wantedSSE = m_wantedMMX = 0;
}

void SWrenderdrivers::BuildAngleTable()
{
    const double step = std::bit_cast<float>(kAngleStepBits);
    for (int i = 0; i < kAngleTableSize; ++i) {
        const double angle = std::acos(i * step);
        const float scaled = static_cast<float>(angle * kAngleScale);
        g_angleTable[i] = static_cast<uint16_t>(65535 - static_cast<int32_t>(std::trunc(scaled)));
    }
}

bool SWhostdrivers::Init()
{
    SWrenderdrivers::Init();
    BuildAngleTable();
    m_ready = 1;
    const pf::HResult com = pf::CoInitialize(nullptr);
    if (pf::succeeded(com))
        ++m_comInits;
    ReleaseDirect3D(); // a second Init binds afresh instead of leaking the first load
    const pf::ModuleHandle module = pf::loadLibrary("d3d8.dll");
    m_direct3DModule = module.value;
    if (module) {
        m_direct3DCreate8 = reinterpret_cast<Direct3DCreate8Entry>(pf::getProcAddress(module, "Direct3DCreate8"));
    }
    return !IsHardComFailure(com);
}

bool SWhostdrivers::Shutdown()
{
    ReleaseDirect3D();
    m_ready = 0;
    if (m_floatWordSaved)
        EndFloatMode();
    // Only the initialisations that succeeded are balanced: an extra uninitialise would end another user's COM.
    for (; m_comInits > 0; --m_comInits)
        pf::CoUninitialize();
    return true;
}

bool SWhostdrivers::BeginFloatMode()
{
    pf::FpuControl fpu;
    const uint16_t word = fpu.get();
    if ((word & kFloatModeFields) == kFloatModeBits)
        return true;
    m_savedFloatWord = word;
    m_floatWordSaved = true;
    fpu.set(static_cast<uint16_t>((word & ~kFloatModeFields) | kFloatModeBits));
    return true;
}

bool SWhostdrivers::EndFloatMode()
{
    if (m_floatWordSaved) {
        pf::FpuControl().set(m_savedFloatWord);
        m_floatWordSaved = false;
    }
    return true;
}

void SWhostdrivers::ApplyMMX(bool use)
{
    m_activeMMX = use && SWcpuinfo().hasMMX != 0 ? 1 : 0;
}

void SWhostdrivers::ApplySSE(bool use)
{
    m_activeSSE = use && SWcpuinfo().hasSSE != 0 ? 1 : 0;
}

void SWhostdrivers::ApplySSE2(bool use)
{
    m_activeSSE2 = use && SWcpuinfo().hasSSE2 != 0 ? 1 : 0;
}

void SWhostdrivers::ReleaseDirect3D()
{
    m_direct3DCreate8 = nullptr;
    if (m_direct3DModule != 0)
        pf::freeLibrary(pf::ModuleHandle{m_direct3DModule});
    m_direct3DModule = 0;
}
