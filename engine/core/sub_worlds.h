#pragma once
// Sub-world entries: further worlds a world may load while it runs, or the files a project added. Here they are
// data; loading them is the world files' work.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/list.h"

class CVTN_SubWorld : public SWlistnode {
public:
    // The synchronisation options of an added file, in this order.
    enum Option {
        kTextures,
        kMaterials,
        kHierarchy,
        kTransforms,
        kMotion,
        kObjects,
        kBackground,
        kOnLoad,
        kKeepRemoved
    };

    explicit CVTN_SubWorld(std::optional<std::string> name = std::nullopt) : m_name(std::move(name)) {}

    const std::optional<std::string>& GetName() const { return m_name; }
    void SetName(std::optional<std::string> name) { m_name = std::move(name); }
    const std::optional<std::string>& GetDownloadUrl() const { return m_url; }
    void SetDownloadUrl(std::optional<std::string> url) { m_url = std::move(url); }
    const std::optional<std::string>& GetFileName() const { return m_fileName; }
    void SetFileName(std::optional<std::string> name) { m_fileName = std::move(name); }
    uint8_t GetReferenceLimitFlag() const { return m_limitFlag; }
    void SetReferenceLimitFlag(uint8_t flag) { m_limitFlag = flag; }
    uint32_t GetReferenceLimit() const { return m_limit; }
    void SetReferenceLimit(uint32_t limit) { m_limit = limit; }
    uint8_t GetOption(int option) const { return option >= 0 && option < 9 ? m_options[option] : 0; }
    void SetOption(int option, uint8_t value);
    // Never stored: the folder of the file that held the entry, where a relative file name is found; empty: the
    // loader's base folder. A world moved with the files it loads still finds them.
    const std::string& GetFolder() const { return m_folder; }
    void SetFolder(std::string folder) { m_folder = std::move(folder); }

private:
    std::optional<std::string> m_name;
    std::optional<std::string> m_url;
    std::optional<std::string> m_fileName;
    std::string m_folder;
    uint8_t m_limitFlag = 0;
    uint32_t m_limit = 1;
    std::array<uint8_t, 9> m_options{};
};

class CVTN_SubWorlds {
public:
    CVTN_SubWorld* Add(std::optional<std::string> name); // owned here
    CVTN_SubWorld* GetFirst() const { return static_cast<CVTN_SubWorld*>(m_entries.Head()); }
    static CVTN_SubWorld* GetNext(const CVTN_SubWorld* entry);
    CVTN_SubWorld* FindByName(std::string_view name) const; // byte for byte
    bool Remove(CVTN_SubWorld* entry);                      // deletes it
    size_t Count() const { return m_entries.Count(); }

private:
    SWlist m_entries; // of CVTN_SubWorld
};
