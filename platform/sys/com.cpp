#include "platform/sys/com.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <vector>

namespace pf {

namespace {

struct Registration {
    Guid clsid;
    ComClassFactory factory;
};

std::mutex g_mutex;
std::vector<Registration> g_classes;
std::optional<HResult> g_scriptedFailure;
thread_local int t_initCount = 0;

std::vector<Registration>::iterator FindClass(const Guid& clsid)
{
    return std::find_if(g_classes.begin(), g_classes.end(), [&](const Registration& r) { return r.clsid == clsid; });
}

} // namespace

HResult CoInitialize(void* reserved)
{
    (void)reserved;
    {
        const std::lock_guard lock(g_mutex);
        if (g_scriptedFailure)
            return *g_scriptedFailure;
    }
    return t_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (t_initCount > 0)
        --t_initCount;
}

HResult CoCreateInstance(const Guid& clsid, IUnknownLike* outer, uint32_t context, const Guid& iid, void** out)
{
    (void)context;
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION; // none of our classes aggregates
    ComClassFactory factory;
    {
        const std::lock_guard lock(g_mutex);
        const auto it = FindClass(clsid);
        if (it == g_classes.end())
            return REGDB_E_CLASSNOTREG;
        factory = it->factory; // called unlocked: a factory may create or register other classes
    }
    try {
        const HResult hr = factory(iid, out);
        if (failed(hr))
            *out = nullptr;
        return hr;
    } catch (const std::bad_alloc&) {
        *out = nullptr;
        return E_OUTOFMEMORY;
    }
}

void registerComClass(const Guid& clsid, ComClassFactory factory)
{
    const std::lock_guard lock(g_mutex);
    const auto it = FindClass(clsid);
    if (it != g_classes.end())
        it->factory = std::move(factory);
    else
        g_classes.push_back({clsid, std::move(factory)});
}

bool unregisterComClass(const Guid& clsid)
{
    const std::lock_guard lock(g_mutex);
    const auto it = FindClass(clsid);
    if (it == g_classes.end())
        return false;
    g_classes.erase(it);
    return true;
}

int comInitCount()
{
    return t_initCount;
}

void scriptCoInitializeFailure(std::optional<HResult> failure)
{
    const std::lock_guard lock(g_mutex);
    g_scriptedFailure = failure;
}

} // namespace pf
