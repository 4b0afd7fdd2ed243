#pragma once
// Arrays on 32-byte boundaries for the packed draw groups and the per-frame lane storage. The block comes from the
// aligned form of operator new and goes back through the matching delete, so the address freed is the one handed
// out whatever the pointer width.
#include <cstddef>
#include <memory>
#include <new>
#include <type_traits>

inline constexpr std::size_t kLaneAlignment = 32;

template <typename T> class SWalignedarray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    SWalignedarray() = default;
    explicit SWalignedarray(std::size_t count) { Reset(count); }

    // Count value-initialised elements; zero releases the block.
    void Reset(std::size_t count)
    {
        m_data.reset();
        m_count = 0;
        if (count == 0)
            return;
        void* raw = ::operator new (count * sizeof(T), std::align_val_t{kLaneAlignment});
        m_data.reset(static_cast<T*>(raw));
        for (std::size_t i = 0; i < count; ++i)
            new (m_data.get() + i) T();
        m_count = count;
    }

    T* data() { return m_data.get(); }
    const T* data() const { return m_data.get(); }
    std::size_t size() const { return m_count; }
    T& operator[](std::size_t i) { return m_data.get()[i]; }
    const T& operator[](std::size_t i) const { return m_data.get()[i]; }

private:
    struct Release {
        void operator()(T* block) const
        {
            if (block != nullptr)
                ::operator delete (static_cast<void*>(block), std::align_val_t{kLaneAlignment});
        }
    };
    std::unique_ptr<T, Release> m_data;
    std::size_t m_count = 0;
};
