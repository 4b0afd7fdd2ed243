#pragma once
// The program's settings, standing in for the registry: typed values under backslash-path keys, held in memory
// and written through to the backend on every change, or once at the end of a batch of changes (Batch). Names compare
// without regard to ASCII case and keep their first spelling. A typed get of a value of another type answers nothing.
// Every method may be called from any thread.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings/settings_file.h"

namespace pf {

class SettingsBackend;

class SettingsStore {
public:
    // A value whose line in the settings file would pass this is refused: the file must stay one the reader takes.
    static constexpr size_t kMaxValueBytes = size_t{1} << 20;

    // Changes made while a batch is open are written once, when the outermost batch ends: a start-up sets a hundred
    // values, and a large settings file written at each costs seconds. Batches nest; any thread may hold one.
    class Batch {
    public:
        explicit Batch(SettingsStore& store);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        SettingsStore& m_store; // outlives the batch
    };

    explicit SettingsStore(std::unique_ptr<SettingsBackend> backend); // loads once; null keeps values in memory
    static std::unique_ptr<SettingsStore> openDefault(); // the settings file, or memory only when there is no home
    ~SettingsStore();

    std::optional<uint32_t> getDword(std::string_view key, std::string_view name) const;
    std::optional<std::string> getString(std::string_view key, std::string_view name) const;
    std::optional<std::vector<uint8_t>> getBinary(std::string_view key, std::string_view name) const;
    std::optional<SettingType> typeOf(std::string_view key, std::string_view name) const;

    // Each set and delete is written through (in a batch: held for its end); false when the key is not a valid path,
    // the value is refused (kMaxValueBytes, with a warning) or the write failed, in which case the change is still
    // held in memory and goes out with the next write that succeeds.
    bool setDword(std::string_view key, std::string_view name, uint32_t value);
    bool setString(std::string_view key, std::string_view name, std::string_view value);
    bool setBinary(std::string_view key, std::string_view name, std::span<const uint8_t> value);
    bool deleteValue(std::string_view key, std::string_view name); // false also when there was none
    bool deleteKey(std::string_view key);                          // with all its sub-keys; false when none

    // The stored value; when there is none it is created with the default. A value of another type is left
    // alone and the default returned.
    uint32_t getOrCreateDword(std::string_view key, std::string_view name, uint32_t def);
    std::string getOrCreateString(std::string_view key, std::string_view name, std::string_view def);
    std::vector<uint8_t> getOrCreateBinary(std::string_view key, std::string_view name, std::span<const uint8_t> def);

    std::vector<std::string> valueNames(std::string_view key) const; // in the order they were made
    std::vector<std::string> subKeys(std::string_view key) const;    // direct children only

    bool flush(); // writes what changed and was not yet written; true when nothing is left unwritten
    // Reads the stored settings again, what this store changed and has not written yet kept over them: another
    // program of ours may have stored its own since. Every write does the same first, so that what one stores does
    // not remove what the other stored. False, with memory unchanged, when the stored text has faults or is gone.
    bool refresh();

    // What could not be read at load, line by line, then every value or write refused since, in order; a person
    // is to see each once.
    std::vector<std::string> warnings() const;

private:
    // A change made here since the last write, to be made again over what another writer stored meanwhile.
    struct PendingChange {
        enum Kind { kSet, kDeleteValue, kDeleteKey } kind;
        std::string path;
        SettingValue value; // kSet: the value; kDeleteValue: its name
        void applyTo(SettingsTree& tree) const;
    };

    const SettingValue* findLocked(std::string_view key, std::string_view name) const;
    bool setLocked(std::string_view key, SettingValue value);
    bool persistLocked();
    bool writeLocked();
    bool mergeStoredLocked();
    void endBatch();

    mutable std::mutex m_mutex;
    std::unique_ptr<SettingsBackend> m_backend;
    SettingsTree m_tree;
    std::vector<std::string> m_warnings;
    std::vector<PendingChange> m_pending; // since the last write
    bool m_keepOriginal = false;          // the stored text had faults: keep it aside before the first rewrite
    bool m_writeFailureTold = false;      // a failed write is told once, not at every change that follows
    bool m_unsaved = false;               // memory holds changes not yet written, or that the backend refused
    int m_batchDepth = 0;
};

} // namespace pf
