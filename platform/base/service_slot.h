#pragma once
// One process-wide service that a test or a live back end may replace: the clock, the sound output, the processor
// probe. Until something is installed the slot answers with its default, made on first use so that a program that
// installs its own never builds the default at all. Installing and reading may race from any thread.
#include <atomic>
#include <new>

namespace pf {

template <class Service, class Default> class ServiceSlot {
public:
    constexpr ServiceSlot() = default; // constant-initialised, so usable from other static initialisers
    ServiceSlot(const ServiceSlot&) = delete;
    ServiceSlot& operator=(const ServiceSlot&) = delete;

    Service& current() const // the installed service, else the process's default
    {
        Service* const installed = m_installed.load(std::memory_order_acquire);
        return installed != nullptr ? *installed : DefaultInstance();
    }
    void install(Service* service) // not owned, must outlive its installation; null restores the default
    {
        m_installed.store(service, std::memory_order_release);
    }

private:
    // Made once and never destroyed: a thread still running while the process exits (one left behind as stuck, or
    // any at all when a library calls exit) may still ask the default, and a destroyed one has no valid vptr.
    static Service& DefaultInstance()
    {
        alignas(Default) static unsigned char storage[sizeof(Default)];
        static Default* const instance = new (storage) Default();
        return *instance;
    }

    std::atomic<Service*> m_installed{nullptr};
};

} // namespace pf
