#pragma once
// Holds one reference to a COM-shaped object and releases it when it goes.
#include <cstddef>
#include <utility>

#include "platform/sys/com.h"

namespace pf {

template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    static ComPtr adopt(T* p) // takes over a reference the caller holds
    {
        ComPtr ptr;
        ptr.m_p = p;
        return ptr;
    }
    ComPtr(const ComPtr& other) : m_p(other.m_p)
    {
        if (m_p != nullptr)
            m_p->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~ComPtr() { reset(); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    void reset()
    {
        if (T* const p = std::exchange(m_p, nullptr))
            p->Release();
    }
    T* detach() { return std::exchange(m_p, nullptr); } // the caller holds the reference from now on

    // For calls that hand out an interface through void**: ptr.put() releases what was held and takes the result.
    class Out {
    public:
        explicit Out(ComPtr& owner) : m_owner(owner) {}
        ~Out() { m_owner.m_p = static_cast<T*>(m_raw); }
        Out(const Out&) = delete;
        Out& operator=(const Out&) = delete;
        operator void**() { return &m_raw; }

    private:
        ComPtr& m_owner;
        void* m_raw = nullptr;
    };
    Out put()
    {
        reset();
        return Out(*this);
    }

    template <class U> HResult queryInterface(const Guid& iid, ComPtr<U>& out) const
    {
        if (m_p == nullptr)
            return E_POINTER;
        return m_p->QueryInterface(iid, out.put());
    }

private:
    T* m_p = nullptr;
};

} // namespace pf
