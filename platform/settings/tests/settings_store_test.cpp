#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/settings/file_backend.h"
#include "platform/settings/profile.h"
#include "platform/settings/settings_backend.h"
#include "platform/settings/settings_store.h"

namespace pf {
namespace {

constexpr const char* kEditor = "Software\\Brenix\\Vortan\\Editor";

// A store over memory whose backend the test can still look at.
struct MemoryStore {
    explicit MemoryStore(std::optional<std::string> text = std::nullopt)
    {
        auto owned = text ? std::make_unique<MemoryBackend>(*text) : std::make_unique<MemoryBackend>();
        backend = owned.get();
        store = std::make_unique<SettingsStore>(std::move(owned));
    }
    std::unique_ptr<SettingsStore> reopened() const
    {
        return std::make_unique<SettingsStore>(std::make_unique<MemoryBackend>(*backend->text()));
    }

    MemoryBackend* backend; // owned by the store
    std::unique_ptr<SettingsStore> store;
};

TEST(SettingsStoreRoundTrip, EveryTypeSurvivesAReload)
{
    MemoryStore m;
    const std::vector<uint8_t> colour = {0xFF, 0x80, 0x00};
    ASSERT_TRUE(m.store->setDword(kEditor, "10", 0xDEADBEEF));
    ASSERT_TRUE(m.store->setString(kEditor, "Name \"quoted\"", "line one\nline \\two\\"));
    ASSERT_TRUE(m.store->setBinary(kEditor, "colour", colour));
    ASSERT_TRUE(m.store->setBinary(kEditor, "empty", {}));
    const auto again = m.reopened();
    EXPECT_TRUE(again->warnings().empty());
    EXPECT_EQ(again->getDword(kEditor, "10"), 0xDEADBEEFu);
    EXPECT_EQ(again->getString(kEditor, "Name \"quoted\""), "line one\nline \\two\\");
    EXPECT_EQ(again->getBinary(kEditor, "colour"), colour);
    EXPECT_EQ(again->getBinary(kEditor, "empty"), std::vector<uint8_t>());
    EXPECT_EQ(again->typeOf(kEditor, "10"), SettingType::kDword);
    EXPECT_EQ(again->typeOf(kEditor, "missing"), std::nullopt);
}

TEST(SettingsStoreLookup, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    MemoryStore m;
    m.store->setDword("Software\\Brenix\\Value Key", "First Spelling", 1);
    m.store->setDword("SOFTWARE\\brenix\\VALUE KEY", "FIRST SPELLING", 2);
    EXPECT_EQ(m.store->getDword("software\\BRENIX\\value key", "first spelling"), 2u);
    EXPECT_EQ(m.store->valueNames("Software\\Brenix\\Value Key"), std::vector<std::string>{"First Spelling"});
    EXPECT_EQ(m.store->subKeys("SOFTWARE\\BRENIX"), std::vector<std::string>{"Value Key"});
    EXPECT_EQ(m.reopened()->valueNames("software\\brenix\\value key"), std::vector<std::string>{"First Spelling"});
}

TEST(SettingsStoreLookup, ATypedGetOfAnotherTypeAnswersNothing)
{
    MemoryStore m;
    m.store->setString(kEditor, "v", "12");
    EXPECT_EQ(m.store->getDword(kEditor, "v"), std::nullopt);
    EXPECT_EQ(m.store->getBinary(kEditor, "v"), std::nullopt);
    m.store->setDword(kEditor, "v", 12); // a set replaces the type too
    EXPECT_EQ(m.store->getString(kEditor, "v"), std::nullopt);
    EXPECT_EQ(m.store->getDword(kEditor, "v"), 12u);
}

TEST(SettingsStoreGetOrCreate, WritesAMissingValueExactlyOnce)
{
    MemoryStore m;
    EXPECT_EQ(m.store->getOrCreateDword(kEditor, "12", 5), 5u);
    EXPECT_EQ(m.backend->storeCount(), 1);
    EXPECT_EQ(m.store->getOrCreateDword(kEditor, "12", 9), 5u); // the stored value wins over a new default
    EXPECT_EQ(m.store->getOrCreateString(kEditor, "s", "dir"), "dir");
    EXPECT_EQ(m.store->getOrCreateString(kEditor, "s", "other"), "dir");
    const std::vector<uint8_t> flag = {1};
    EXPECT_EQ(m.store->getOrCreateBinary(kEditor, "b", flag), flag);
    EXPECT_EQ(m.store->getOrCreateBinary(kEditor, "b", std::vector<uint8_t>{0}), flag);
    EXPECT_EQ(m.backend->storeCount(), 3);
}

TEST(SettingsStoreGetOrCreate, NeverOverwritesAValueOfAnotherType)
{
    MemoryStore m;
    m.store->setString(kEditor, "12", "text");
    const int stores = m.backend->storeCount();
    EXPECT_EQ(m.store->getOrCreateDword(kEditor, "12", 7), 7u);
    EXPECT_EQ(m.store->getOrCreateBinary(kEditor, "12", std::vector<uint8_t>{1}), std::vector<uint8_t>{1});
    EXPECT_EQ(m.store->getOrCreateString(kEditor, "12", "x"), "text");
    EXPECT_EQ(m.store->getString(kEditor, "12"), "text");
    EXPECT_EQ(m.backend->storeCount(), stores);
}

TEST(SettingsStoreWrites, AnUnchangedValueIsNotWrittenAgain)
{
    MemoryStore m;
    m.store->setDword(kEditor, "a", 1);
    m.store->setDword(kEditor, "A", 1);
    EXPECT_EQ(m.backend->storeCount(), 1);
    m.store->setDword(kEditor, "a", 2);
    EXPECT_EQ(m.backend->storeCount(), 2);
}

TEST(SettingsStoreWrites, AFailedWriteKeepsTheValueForTheNextWrite)
{
    MemoryStore m;
    m.store->setDword(kEditor, "kept", 1);
    m.backend->failWrites(true);
    EXPECT_FALSE(m.store->setDword(kEditor, "pending", 2));
    EXPECT_FALSE(m.store->setDword(kEditor, "later", 3));
    ASSERT_EQ(m.store->warnings().size(), 1u); // said once, not at every change
    EXPECT_NE(m.store->warnings()[0].find("could not be written"), std::string::npos);
    EXPECT_EQ(m.store->getDword(kEditor, "pending"), 2u);
    EXPECT_EQ(m.reopened()->getDword(kEditor, "pending"), std::nullopt); // the old text is intact
    EXPECT_EQ(m.reopened()->getDword(kEditor, "kept"), 1u);
    m.backend->failWrites(false);
    EXPECT_TRUE(m.store->setDword(kEditor, "pending", 2)); // same value, but memory is ahead of the backend
    EXPECT_EQ(m.reopened()->getDword(kEditor, "pending"), 2u);
}

TEST(SettingsStoreWrites, ABatchWritesOnceAtItsOutermostEnd)
{
    MemoryStore m;
    {
        const SettingsStore::Batch outer(*m.store);
        for (uint32_t i = 0; i < 50; ++i)
            EXPECT_TRUE(m.store->setDword(kEditor, std::string("n").append(std::to_string(i)), i));
        {
            const SettingsStore::Batch inner(*m.store);
            m.store->deleteValue(kEditor, "n0");
        }
        EXPECT_EQ(m.backend->storeCount(), 0);
    }
    EXPECT_EQ(m.backend->storeCount(), 1);
    EXPECT_EQ(m.reopened()->getDword(kEditor, "n49"), 49u);
    EXPECT_EQ(m.reopened()->getDword(kEditor, "n0"), std::nullopt);
    {
        const SettingsStore::Batch idle(*m.store);
    }
    EXPECT_EQ(m.backend->storeCount(), 1) << "a batch without changes writes nothing";
}

// Control bytes take four times their size in the file: what the store writes must stay what the reader takes,
// value by value and as a whole, or the next start loses every setting.
TEST(SettingsStoreWrites, NothingIsWrittenThatTheReaderWouldRefuse)
{
    MemoryStore m;
    ASSERT_TRUE(m.store->setString(kEditor, "kept", "recent.vtp"));
    const std::string controls(SettingsStore::kMaxValueBytes / 4, '\x01');
    EXPECT_FALSE(m.store->setString(kEditor, "huge", controls));
    EXPECT_EQ(m.store->getString(kEditor, "huge"), std::nullopt);
    ASSERT_EQ(m.store->warnings().size(), 1u);
    // The value's own size, not the four times it would take written.
    const std::string ownSize = "huge: a value of " + std::to_string(controls.size()) + " bytes, which take ";
    EXPECT_NE(m.store->warnings()[0].find(ownSize), std::string::npos) << m.store->warnings()[0];

    m.backend->setMaxTextBytes(m.backend->text()->size() + 100);
    const int stores = m.backend->storeCount();
    EXPECT_FALSE(m.store->setString(kEditor, "long", std::string(200, 'x')));
    EXPECT_EQ(m.backend->storeCount(), stores);
    EXPECT_EQ(m.reopened()->getString(kEditor, "kept"), "recent.vtp");
    ASSERT_EQ(m.store->warnings().size(), 2u);
    EXPECT_NE(m.store->warnings()[1].find("not rewritten"), std::string::npos) << m.store->warnings()[1];
    m.backend->setMaxTextBytes(SIZE_MAX);
    EXPECT_TRUE(m.store->flush());
    EXPECT_EQ(m.reopened()->getString(kEditor, "long"), std::string(200, 'x'));

    // Read from a file, such a value is left out with a warning, the rest kept, the file kept aside.
    const std::string text =
        std::string("[").append(kEditor) + "]\n\"huge\"=\"" + controls + "\"\n\"kept\"=dword:00000001\n";
    MemoryStore read(text);
    EXPECT_EQ(read.store->getString(kEditor, "huge"), std::nullopt);
    EXPECT_EQ(read.store->getDword(kEditor, "kept"), 1u);
    ASSERT_EQ(read.store->warnings().size(), 1u);
    EXPECT_NE(read.store->warnings()[0].find(ownSize), std::string::npos) << read.store->warnings()[0];
    EXPECT_TRUE(read.store->setDword(kEditor, "other", 2));
    EXPECT_EQ(read.backend->keptOriginal(), text);
    EXPECT_LT(read.backend->text()->size(), 200u);
}

// Two programs over one settings file, each started before the other wrote: what one stores, changes or deletes
// leaves what the other stored in place, and each reads the other's on refresh. The last writer's memory once
// replaced the whole file.
TEST(SettingsStoreShared, TwoStoresOverOneFileKeepEachOthersValues)
{
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("pf-settings-shared-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    const std::string path = (folder / "settings.reg").string();
    SettingsStore first(std::make_unique<FileBackend>(path));
    SettingsStore second(std::make_unique<FileBackend>(path));
    ASSERT_TRUE(first.setString(kEditor, "File1", "a.vtp"));
    ASSERT_TRUE(first.setDword(kEditor, "gone", 1));
    ASSERT_TRUE(first.setDword("Software\\Brenix\\Vortan\\Old\\Sub", "x", 1));
    ASSERT_TRUE(second.setString(kEditor, "Other", "b.vtp"));
    {
        const SettingsStore::Batch batch(first);
        ASSERT_TRUE(first.setString(kEditor, "File1", "c.vtp"));
        ASSERT_TRUE(first.deleteValue(kEditor, "gone"));
        ASSERT_TRUE(first.deleteKey("Software\\Brenix\\Vortan\\Old"));
    }
    ASSERT_TRUE(second.setDword(kEditor, "size", 7));
    const SettingsStore reader(std::make_unique<FileBackend>(path));
    EXPECT_EQ(reader.getString(kEditor, "File1"), "c.vtp");
    EXPECT_EQ(reader.getString(kEditor, "Other"), "b.vtp");
    EXPECT_EQ(reader.getDword(kEditor, "size"), 7u);
    EXPECT_EQ(reader.getDword(kEditor, "gone"), std::nullopt);
    EXPECT_TRUE(reader.subKeys("Software\\Brenix\\Vortan\\Old").empty());
    EXPECT_EQ(first.getString(kEditor, "Other"), "b.vtp") << "read again as it wrote";
    EXPECT_EQ(first.getDword(kEditor, "size"), std::nullopt) << "not read again before its refresh";
    EXPECT_TRUE(first.refresh());
    EXPECT_EQ(first.getDword(kEditor, "size"), 7u);
    std::filesystem::remove_all(folder);
}

TEST(SettingsStoreKeys, DeleteKeyTakesSubKeysAndParentsExistImplicitly)
{
    MemoryStore m;
    m.store->setDword("Software\\Brenix\\Vortan\\Common\\Navigation", "a", 1);
    m.store->setDword("Software\\Brenix\\Vortan\\Common\\Local Viewing Configuration", "b", 2);
    m.store->setDword("Software\\Brenix\\Vortan\\Editor", "c", 3);
    m.store->setDword("Software\\Brenix\\VortanOther", "d", 4);
    EXPECT_EQ(m.store->subKeys("Software\\Brenix\\Vortan"), (std::vector<std::string>{"Common", "Editor"}));
    EXPECT_EQ(m.store->subKeys("Software"), std::vector<std::string>{"Brenix"});
    EXPECT_EQ(m.store->subKeys(""), std::vector<std::string>{"Software"});
    EXPECT_TRUE(m.store->deleteKey("software\\brenix\\vortan\\common"));
    EXPECT_EQ(m.store->subKeys("Software\\Brenix\\Vortan"), std::vector<std::string>{"Editor"});
    EXPECT_EQ(m.store->getDword("Software\\Brenix\\VortanOther", "d"), 4u); // a name that only starts the same
    EXPECT_FALSE(m.store->deleteKey("Software\\Brenix\\Vortan\\Common"));
    EXPECT_FALSE(m.store->deleteKey(""));
    EXPECT_TRUE(m.store->deleteValue(kEditor, "C"));
    EXPECT_FALSE(m.store->deleteValue(kEditor, "c"));
    EXPECT_TRUE(m.store->valueNames(kEditor).empty());
    EXPECT_EQ(m.reopened()->subKeys("Software\\Brenix\\Vortan"), std::vector<std::string>{"Editor"});
}

TEST(SettingsStoreKeys, InvalidKeyPathsAreRefused)
{
    MemoryStore m;
    EXPECT_FALSE(m.store->setDword("A\\\\B", "x", 1));
    EXPECT_FALSE(m.store->setString("A\nB", "x", "y"));
    EXPECT_EQ(m.store->getDword("A\\\\B", "x"), std::nullopt);
    EXPECT_EQ(m.backend->storeCount(), 0);
}

TEST(SettingsStoreDamaged, ReadableValuesStayAndTheOriginalIsKeptBeforeTheFirstRewrite)
{
    const std::string original =
        "[Software\\Brenix\\Vortan\\Viewer]\n\"MMX\"=dword:00000001\nnoise\n\"SSE\"=dword:0000\n";
    MemoryStore m(original);
    ASSERT_EQ(m.store->warnings().size(), 2u);
    EXPECT_EQ(m.store->getDword("Software\\Brenix\\Vortan\\Viewer", "MMX"), 1u);
    ASSERT_TRUE(m.store->setDword("Software\\Brenix\\Vortan\\Viewer", "SSE", 1));
    EXPECT_EQ(m.backend->keptOriginal(), original);
    ASSERT_TRUE(m.store->setDword("Software\\Brenix\\Vortan\\Viewer", "SSE2", 1));
    EXPECT_EQ(m.backend->keptOriginal(), original); // kept once: the second write saw our own clean text
    EXPECT_TRUE(m.reopened()->warnings().empty());
}

TEST(Profile, SectionsLiveUnderTheApplicationKey)
{
    MemoryStore m;
    Profile profile(*m.store, "Software\\Brenix\\Vortan");
    EXPECT_EQ(profile.getInt("Viewer", "SSE", -1), -1); // missing: the default, and nothing written
    EXPECT_EQ(m.backend->storeCount(), 0);
    EXPECT_TRUE(profile.writeInt("Viewer", "SSE", 1));
    EXPECT_TRUE(profile.writeInt("Viewer", "neg", -5));
    EXPECT_EQ(m.store->getDword("Software\\Brenix\\Vortan\\Viewer", "SSE"), 1u);
    EXPECT_EQ(profile.getInt("viewer", "neg", 0), -5);
    EXPECT_TRUE(profile.writeString("Recent File List", "File1", "/home/a.vtp"));
    EXPECT_EQ(profile.getString("Recent File List", "File1", ""), "/home/a.vtp");
    EXPECT_EQ(profile.getString("Recent File List", "File2", "none"), "none");
    EXPECT_EQ(profile.getInt("Recent File List", "File1", 3), 3); // a string is not an int
    const std::vector<uint8_t> state = {1, 2, 3};
    EXPECT_TRUE(profile.writeBinary("Bar-SCBar-1", "state", state));
    EXPECT_EQ(profile.getBinary("Bar-SCBar-1", "state"), state);
    EXPECT_TRUE(profile.deleteEntry("Recent File List", "File1"));
    EXPECT_TRUE(profile.deleteSection("Bar-SCBar-1"));
    EXPECT_EQ(profile.getBinary("Bar-SCBar-1", "state"), std::nullopt);
}

TEST(SettingsStoreThreads, ConcurrentWritersAllLand)
{
    MemoryStore m;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                const std::string name = std::to_string(t) + "-" + std::to_string(i);
                m.store->setDword(kEditor, name, static_cast<uint32_t>(i));
                (void)m.store->getDword(kEditor, name);
                (void)m.store->subKeys("Software");
            }
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(m.store->valueNames(kEditor).size(), 200u);
    EXPECT_EQ(m.reopened()->valueNames(kEditor).size(), 200u);
}

} // namespace
} // namespace pf
