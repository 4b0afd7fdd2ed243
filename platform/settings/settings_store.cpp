#include "platform/settings/settings_store.h"

#include <algorithm>
#include <new>

#include "platform/settings/file_backend.h"
#include "platform/settings/settings_backend.h"

namespace pf {

namespace {

bool IsUnder(std::string_view path, std::string_view parent)
{
    if (parent.empty())
        return !path.empty();
    return path.size() > parent.size() && path[parent.size()] == '\\' &&
           sameSettingName(path.substr(0, parent.size()), parent);
}

size_t OwnBytes(const SettingValue& value)
{
    switch (value.type) {
    case SettingType::kString:
        return value.text.size();
    case SettingType::kBinary:
        return value.bytes.size();
    case SettingType::kDword:
        break;
    }
    return sizeof value.dword;
}

// The value's own size is what a person recognises; its written form (control bytes take four) is what the limit holds.
std::string RefusedValueText(const std::string& key, const SettingValue& value, size_t writtenBytes)
{
    return key + "\\" + value.name + ": a value of " + std::to_string(OwnBytes(value)) + " bytes, which take " +
           std::to_string(writtenBytes) + " in the settings file, more than the " +
           std::to_string(SettingsStore::kMaxValueBytes) + " one may take; not kept";
}

} // namespace

SettingsStore::Batch::Batch(SettingsStore& store) : m_store(store)
{
    const std::lock_guard lock(m_store.m_mutex);
    ++m_store.m_batchDepth;
}

SettingsStore::Batch::~Batch()
{
    m_store.endBatch();
}

SettingsStore::SettingsStore(std::unique_ptr<SettingsBackend> backend) : m_backend(std::move(backend))
{
    if (!m_backend)
        return;
    SettingsLoad loaded = m_backend->load();
    if (!loaded.problem.empty())
        m_warnings.push_back(loaded.problem);
    if (loaded.text) {
        SettingsParse parsed = parseSettingsFile(*loaded.text);
        m_tree = std::move(parsed.tree);
        m_warnings.insert(m_warnings.end(), parsed.warnings.begin(), parsed.warnings.end());
    }
    // A value read that would not fit our own rewrite (raw control bytes take four times their size written) is
    // left out; the file as it stood is kept aside before the first rewrite.
    for (SettingKey& key : m_tree.keys)
        std::erase_if(key.values, [&](const SettingValue& value) {
            const size_t bytes = formattedSettingBytes(value);
            if (bytes > kMaxValueBytes)
                m_warnings.push_back(RefusedValueText(key.path, value, bytes));
            return bytes > kMaxValueBytes;
        });
    m_keepOriginal = !m_warnings.empty();
}

std::unique_ptr<SettingsStore> SettingsStore::openDefault()
{
    const auto path = defaultSettingsPath();
    if (!path)
        return std::make_unique<SettingsStore>(nullptr);
    return std::make_unique<SettingsStore>(std::make_unique<FileBackend>(*path));
}

SettingsStore::~SettingsStore() = default;

std::optional<uint32_t> SettingsStore::getDword(std::string_view key, std::string_view name) const
{
    const std::lock_guard lock(m_mutex);
    const SettingValue* const value = findLocked(key, name);
    if (value == nullptr || value->type != SettingType::kDword)
        return std::nullopt;
    return value->dword;
}

std::optional<std::string> SettingsStore::getString(std::string_view key, std::string_view name) const
{
    const std::lock_guard lock(m_mutex);
    const SettingValue* const value = findLocked(key, name);
    if (value == nullptr || value->type != SettingType::kString)
        return std::nullopt;
    return value->text;
}

std::optional<std::vector<uint8_t>> SettingsStore::getBinary(std::string_view key, std::string_view name) const
{
    const std::lock_guard lock(m_mutex);
    const SettingValue* const value = findLocked(key, name);
    if (value == nullptr || value->type != SettingType::kBinary)
        return std::nullopt;
    return value->bytes;
}

std::optional<SettingType> SettingsStore::typeOf(std::string_view key, std::string_view name) const
{
    const std::lock_guard lock(m_mutex);
    const SettingValue* const value = findLocked(key, name);
    return value != nullptr ? std::optional(value->type) : std::nullopt;
}

bool SettingsStore::setDword(std::string_view key, std::string_view name, uint32_t value)
{
    const std::lock_guard lock(m_mutex);
    SettingValue v{std::string(name), SettingType::kDword, value, {}, {}};
    return setLocked(key, std::move(v));
}

bool SettingsStore::setString(std::string_view key, std::string_view name, std::string_view value)
{
    const std::lock_guard lock(m_mutex);
    SettingValue v{std::string(name), SettingType::kString, 0, std::string(value), {}};
    return setLocked(key, std::move(v));
}

bool SettingsStore::setBinary(std::string_view key, std::string_view name, std::span<const uint8_t> value)
{
    const std::lock_guard lock(m_mutex);
    SettingValue v{std::string(name), SettingType::kBinary, 0, {}, std::vector<uint8_t>(value.begin(), value.end())};
    return setLocked(key, std::move(v));
}

bool SettingsStore::deleteValue(std::string_view key, std::string_view name)
{
    const std::lock_guard lock(m_mutex);
    std::string path;
    SettingKey* const found = normaliseKeyPath(key, path) ? m_tree.findKey(path) : nullptr;
    if (found == nullptr)
        return false;
    const auto it = std::find_if(found->values.begin(), found->values.end(),
                                 [&](const SettingValue& v) { return sameSettingName(v.name, name); });
    if (it == found->values.end())
        return false;
    found->values.erase(it);
    m_pending.push_back({PendingChange::kDeleteValue, path, {std::string(name), SettingType::kDword, 0, {}, {}}});
    return persistLocked();
}

bool SettingsStore::deleteKey(std::string_view key)
{
    const std::lock_guard lock(m_mutex);
    std::string path;
    if (!normaliseKeyPath(key, path) || path.empty())
        return false; // the root is not deleted
    const size_t before = m_tree.keys.size();
    std::erase_if(m_tree.keys,
                  [&](const SettingKey& k) { return sameSettingName(k.path, path) || IsUnder(k.path, path); });
    if (m_tree.keys.size() == before)
        return false;
    m_pending.push_back({PendingChange::kDeleteKey, path, {}});
    return persistLocked();
}

uint32_t SettingsStore::getOrCreateDword(std::string_view key, std::string_view name, uint32_t def)
{
    const std::lock_guard lock(m_mutex);
    if (const SettingValue* const value = findLocked(key, name))
        return value->type == SettingType::kDword ? value->dword : def;
    setLocked(key, {std::string(name), SettingType::kDword, def, {}, {}});
    return def;
}

std::string SettingsStore::getOrCreateString(std::string_view key, std::string_view name, std::string_view def)
{
    const std::lock_guard lock(m_mutex);
    if (const SettingValue* const value = findLocked(key, name))
        return value->type == SettingType::kString ? value->text : std::string(def);
    setLocked(key, {std::string(name), SettingType::kString, 0, std::string(def), {}});
    return std::string(def);
}

std::vector<uint8_t> SettingsStore::getOrCreateBinary(std::string_view key, std::string_view name,
                                                      std::span<const uint8_t> def)
{
    const std::lock_guard lock(m_mutex);
    std::vector<uint8_t> bytes(def.begin(), def.end());
    if (const SettingValue* const value = findLocked(key, name))
        return value->type == SettingType::kBinary ? value->bytes : bytes;
    setLocked(key, {std::string(name), SettingType::kBinary, 0, {}, bytes});
    return bytes;
}

std::vector<std::string> SettingsStore::valueNames(std::string_view key) const
{
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> names;
    std::string path;
    const SettingKey* const found = normaliseKeyPath(key, path) ? m_tree.findKey(path) : nullptr;
    if (found != nullptr) {
        for (const SettingValue& value : found->values)
            names.push_back(value.name);
    }
    return names;
}

// Parents exist implicitly: a key "A\B\C" makes "B" a sub-key of "A" even when "A\B" holds nothing.
std::vector<std::string> SettingsStore::subKeys(std::string_view key) const
{
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> children;
    std::string path;
    if (!normaliseKeyPath(key, path))
        return children;
    const size_t skip = path.empty() ? 0 : path.size() + 1;
    for (const SettingKey& k : m_tree.keys) {
        if (!IsUnder(k.path, path))
            continue;
        const std::string_view rest = std::string_view(k.path).substr(skip);
        const std::string_view child = rest.substr(0, rest.find('\\'));
        if (std::none_of(children.begin(), children.end(),
                         [&](const std::string& c) { return sameSettingName(c, child); }))
            children.emplace_back(child);
    }
    return children;
}

bool SettingsStore::refresh()
{
    const std::lock_guard lock(m_mutex);
    return mergeStoredLocked();
}

bool SettingsStore::flush()
{
    const std::lock_guard lock(m_mutex);
    return !m_unsaved || writeLocked();
}

std::vector<std::string> SettingsStore::warnings() const
{
    const std::lock_guard lock(m_mutex);
    return m_warnings;
}

const SettingValue* SettingsStore::findLocked(std::string_view key, std::string_view name) const
{
    std::string path;
    if (!normaliseKeyPath(key, path))
        return nullptr;
    const SettingKey* const found = m_tree.findKey(path);
    return found != nullptr ? found->findValue(name) : nullptr;
}

bool SettingsStore::setLocked(std::string_view key, SettingValue value)
{
    std::string path;
    if (!normaliseKeyPath(key, path))
        return false;
    if (const size_t bytes = formattedSettingBytes(value); bytes > kMaxValueBytes) {
        m_warnings.push_back(RefusedValueText(path, value, bytes));
        return false;
    }
    try {
        SettingKey& target = m_tree.makeKey(path);
        if (SettingValue* const known = target.findValue(value.name)) {
            value.name = known->name;
            if (*known == value && !m_unsaved)
                return true; // nothing changed: no write
            *known = value;
        } else {
            target.values.push_back(value);
        }
        m_pending.push_back({PendingChange::kSet, path, std::move(value)});
    } catch (const std::bad_alloc&) {
        return false;
    }
    return persistLocked();
}

bool SettingsStore::persistLocked()
{
    if (!m_backend)
        return true;
    m_unsaved = true;
    return m_batchDepth > 0 || writeLocked();
}

void SettingsStore::PendingChange::applyTo(SettingsTree& tree) const
{
    switch (kind) {
    case kSet: {
        SettingKey& key = tree.makeKey(path);
        if (SettingValue* const known = key.findValue(value.name))
            *known = value;
        else
            key.values.push_back(value);
        break;
    }
    case kDeleteValue:
        if (SettingKey* const key = tree.findKey(path))
            std::erase_if(key->values, [&](const SettingValue& v) { return sameSettingName(v.name, value.name); });
        break;
    case kDeleteKey:
        std::erase_if(tree.keys,
                      [&](const SettingKey& k) { return sameSettingName(k.path, path) || IsUnder(k.path, path); });
        break;
    }
}

bool SettingsStore::mergeStoredLocked()
{
    // A file with faults is rewritten from what was read of it at the start (its original kept aside), as before.
    if (!m_backend || m_keepOriginal)
        return false;
    try {
        const SettingsLoad loaded = m_backend->load();
        if (!loaded.problem.empty() || !loaded.text)
            return false;
        SettingsParse parsed = parseSettingsFile(*loaded.text);
        if (!parsed.warnings.empty())
            return false;
        for (const SettingKey& key : parsed.tree.keys)
            for (const SettingValue& value : key.values)
                if (formattedSettingBytes(value) > kMaxValueBytes)
                    return false;
        for (const PendingChange& change : m_pending)
            change.applyTo(parsed.tree);
        m_tree = std::move(parsed.tree);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool SettingsStore::writeLocked()
{
    if (!m_backend)
        return true;
    try {
        // Another program of ours (a second designer) may have stored its own settings since we read the file:
        // they stay, and only what changed here goes over them.
        mergeStoredLocked();
        const std::string text = formatSettingsFile(m_tree);
        if (text.size() > m_backend->maxTextBytes()) {
            // Written, it would be refused at the next start and every setting lost with it.
            const std::string why = "the settings take " + std::to_string(text.size()) + " bytes, more than the " +
                                    std::to_string(m_backend->maxTextBytes()) +
                                    " a settings file may hold; the file was not rewritten";
            if (m_warnings.empty() || m_warnings.back() != why)
                m_warnings.push_back(why);
            return false;
        }
        if (!m_backend->store(text, m_keepOriginal)) {
            // Said as a settings file that cannot be read is: else every change is gone at the next start unsaid.
            if (!m_writeFailureTold)
                m_warnings.push_back("the settings file could not be written; changes to the settings made now "
                                     "are not kept for the next start");
            m_writeFailureTold = true;
            return false;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_keepOriginal = false;
    m_unsaved = false;
    m_pending.clear();
    return true;
}

void SettingsStore::endBatch()
{
    const std::lock_guard lock(m_mutex);
    if (--m_batchDepth == 0 && m_unsaved)
        writeLocked();
}

} // namespace pf
