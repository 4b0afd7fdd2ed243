#pragma once
// A small in-process stand-in for COM: per-thread initialisation counting, and class creation from factories
// that our own code registers. Nothing is registered by default, so a plain run finds no optional runtime and
// takes the paths built for its absence.
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/base/result.h"

namespace pf {

struct Guid {
    uint32_t d1 = 0;
    uint16_t d2 = 0, d3 = 0;
    uint8_t d4[8] = {};
    bool operator==(const Guid&) const = default;
};

inline constexpr Guid IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The three operations every interface starts with. An object is deleted by its last Release.
class IUnknownLike {
public:
    virtual HResult QueryInterface(const Guid& iid, void** out) = 0; // E_NOINTERFACE with *out null when unknown
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IUnknownLike() = default; // only Release deletes
};

using ComClassFactory = std::function<HResult(const Guid& iid, void** out)>; // a new object with one reference

HResult CoInitialize(void* reserved); // S_OK the first time on a thread, S_FALSE after; or the scripted failure
void CoUninitialize();                // balances one successful CoInitialize of this thread
HResult CoCreateInstance(const Guid& clsid, IUnknownLike* outer, uint32_t context, const Guid& iid, void** out);

void registerComClass(const Guid& clsid, ComClassFactory factory); // replaces an earlier one of the same class
bool unregisterComClass(const Guid& clsid);

int comInitCount();                                             // this thread's balance of CoInitialize calls
void scriptCoInitializeFailure(std::optional<HResult> failure); // tests: every CoInitialize answers it; nullopt ends

inline constexpr uint32_t CLSCTX_INPROC_SERVER = 1;
inline constexpr uint32_t CLSCTX_ALL = 0x17;
inline constexpr HResult CLASS_E_NOAGGREGATION = hresult(0x80040110u);

} // namespace pf
