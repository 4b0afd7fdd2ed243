#pragma once
// Where the settings text lives between runs. The store keeps every value in memory and hands the backend the
// whole text after each change.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace pf {

struct SettingsLoad {
    std::optional<std::string> text; // nullopt: nothing stored yet
    std::string problem;             // why what is stored could not be read whole; empty when it could
};

class SettingsBackend {
public:
    virtual ~SettingsBackend() = default;
    virtual SettingsLoad load() = 0;
    // Replaces the stored text. With keepOriginal, the text as it was stored is first kept aside, so that a
    // damaged file's unreadable lines survive our rewrite; false, with nothing replaced, when either step fails.
    virtual bool store(const std::string& text, bool keepOriginal) = 0;
    // The longest text load() reads back; the store never hands over a longer one.
    virtual size_t maxTextBytes() const { return SIZE_MAX; }
};

// Text in memory, for tests: writes can be made to fail, and what was kept aside can be read back.
class MemoryBackend final : public SettingsBackend {
public:
    MemoryBackend() = default;
    explicit MemoryBackend(std::string text) : m_text(std::move(text)) {}

    SettingsLoad load() override { return {m_text, {}}; }
    bool store(const std::string& text, bool keepOriginal) override;
    size_t maxTextBytes() const override { return m_maxBytes; }

    void setMaxTextBytes(size_t bytes) { m_maxBytes = bytes; }
    const std::optional<std::string>& text() const { return m_text; }
    const std::optional<std::string>& keptOriginal() const { return m_kept; }
    int storeCount() const { return m_stores; }
    void failWrites(bool fail) { m_fail = fail; }

private:
    std::optional<std::string> m_text;
    std::optional<std::string> m_kept;
    int m_stores = 0;
    bool m_fail = false;
    size_t m_maxBytes = SIZE_MAX;
};

} // namespace pf
