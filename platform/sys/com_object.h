#pragma once
// The reference counting every COM-shaped object of ours shares: atomic, created with one reference, deleted by
// the last Release.
#include <atomic>
#include <cstdint>

#include "platform/base/assertion.h"
#include "platform/sys/com.h"

namespace pf {

template <class Interface> class ComObject : public Interface {
public:
    explicit ComObject(const Guid& iid) : m_iid(iid) {}

    // Answers IID_IUnknown and the interface's own IID; an object with more interfaces overrides this.
    HResult QueryInterface(const Guid& iid, void** out) override
    {
        if (out == nullptr)
            return E_POINTER;
        if (!(iid == IID_IUnknown || iid == m_iid)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

    uint32_t AddRef() override { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }

    uint32_t Release() override
    {
        uint32_t count = m_refs.load(std::memory_order_relaxed);
        do {
            if (count == 0) {
                PF_ASSERT(false, "Release without a reference: the object was already released");
                return 0;
            }
        } while (!m_refs.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel));
        if (count == 1)
            onFinalRelease();
        return count - 1;
    }

    uint32_t referenceCount() const { return m_refs.load(std::memory_order_acquire); }

protected:
    ~ComObject() override = default;
    virtual void onFinalRelease() { delete this; } // the object model of COM: the last reference owns it

private:
    const Guid m_iid;
    std::atomic<uint32_t> m_refs{1};
};

} // namespace pf
