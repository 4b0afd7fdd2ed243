#include "platform/base/service_slot.h"

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace pf {
namespace {

class Greeter {
public:
    virtual ~Greeter() = default;
    virtual int id() const = 0;
};

std::atomic<int> g_defaultsMade{0};

class DefaultGreeter final : public Greeter {
public:
    DefaultGreeter() { ++g_defaultsMade; }
    int id() const override { return 0; }
};

class NumberedGreeter final : public Greeter {
public:
    explicit NumberedGreeter(int id) : m_id(id) {}
    int id() const override { return m_id; }

private:
    int m_id;
};

// Each test its own slot type, so that each default is made afresh.
template <int kTag> class TaggedDefault final : public Greeter {
public:
    TaggedDefault() { ++g_defaultsMade; }
    int id() const override { return -kTag; }
};

TEST(ServiceSlot, InstalledServiceAnswersUntilNullRestoresTheDefault)
{
    constinit static ServiceSlot<Greeter, DefaultGreeter> slot;
    NumberedGreeter first(1);
    NumberedGreeter second(2);
    EXPECT_EQ(slot.current().id(), 0);
    slot.install(&first);
    EXPECT_EQ(&slot.current(), &first);
    slot.install(&second);
    EXPECT_EQ(&slot.current(), &second);
    slot.install(nullptr);
    EXPECT_EQ(slot.current().id(), 0);
}

TEST(ServiceSlot, DefaultIsMadeOnFirstUseAndOnlyOnce)
{
    constinit static ServiceSlot<Greeter, TaggedDefault<1>> slot;
    const int before = g_defaultsMade.load();
    NumberedGreeter installed(7);
    slot.install(&installed);
    EXPECT_EQ(slot.current().id(), 7);
    EXPECT_EQ(g_defaultsMade.load(), before); // never needed, never made
    slot.install(nullptr);
    Greeter& made = slot.current();
    EXPECT_EQ(made.id(), -1);
    EXPECT_EQ(&slot.current(), &made);
    EXPECT_EQ(g_defaultsMade.load(), before + 1);
}

// Readers on other threads see either service whole, never a torn or dangling one.
TEST(ServiceSlot, ReadersRaceAnInstaller)
{
    constinit static ServiceSlot<Greeter, TaggedDefault<2>> slot;
    NumberedGreeter installed(9);
    std::atomic<bool> stop{false};
    std::atomic<int> unexpected{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 4; ++i)
        readers.emplace_back([&] {
            while (!stop.load()) {
                const int id = slot.current().id();
                if (id != 9 && id != -2)
                    ++unexpected;
            }
        });
    for (int i = 0; i < 2000; ++i)
        slot.install(i % 2 == 0 ? &installed : nullptr);
    stop = true;
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(unexpected.load(), 0);
}

} // namespace
} // namespace pf
