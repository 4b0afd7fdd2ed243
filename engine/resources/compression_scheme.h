#pragma once
// The compression-scheme table. Each row names one way of storing a resource kind (sounds, key-frame animations,
// vertex streams, meshes); the publish dialog offers the rows marked so, and a resource without a choice is
// written with the default row of its kind. Rows register themselves at start-up from a namespace-scope
// CompressionSchemeRegistration, as type tags do; the process table is a function-local static, so rows of other
// files find it built. After start-up the table is only read, so lookups take no lock.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CVTN_Container;
class SWchunkstream;

// Resource kinds, as the row's kind byte stores them.
enum class SchemeKind : uint8_t {
    kSound = 1,
    kKeyFrames = 2,
    kVertexStreams = 3,
    kMesh = 4,
};

class SWcompressionscheme {
public:
    static constexpr uint32_t kDefaultParameter = 100;

    struct Description {
        uint32_t id = 0; // four characters: its little-endian bytes spell them
        SchemeKind kind = SchemeKind::kSound;
        bool offered = false;   // listed in the publish dialog
        bool isDefault = false; // the default of its kind
        std::string shortName;
        std::string longName;
        uint32_t parameters[2] = {kDefaultParameter, kDefaultParameter};
    };

    explicit SWcompressionscheme(Description description) : m_row(std::move(description)) {}
    virtual ~SWcompressionscheme() = default;
    SWcompressionscheme(const SWcompressionscheme&) = delete;
    SWcompressionscheme& operator=(const SWcompressionscheme&) = delete;

    uint32_t GetId() const { return m_row.id; }
    SchemeKind GetKind() const { return m_row.kind; }
    bool IsOffered() const { return m_row.offered; }
    bool IsDefault() const { return m_row.isDefault; }
    const std::string& GetShortName() const { return m_row.shortName; }
    const std::string& GetLongName() const { return m_row.longName; }
    uint32_t GetParameter(int index) const { return index == 0 || index == 1 ? m_row.parameters[index] : 0; }

    // The stored form of object, in a record whose tag is the row's id. The base stores nothing.
    virtual bool Read(SWchunkstream& in, CVTN_Container* object, uint32_t word) const;   // false: damaged
    virtual bool Write(SWchunkstream& out, CVTN_Container* object, uint32_t word) const; // false: not written
    virtual bool Accepts(const CVTN_Container* object) const;                            // base: true
    virtual std::optional<std::string> Describe(const CVTN_Container* object) const;     // base: none

private:
    Description m_row;
};

// What an object with a scheme choice shows of it: sounds and meshes now, key-frame and vertex-stream blocks later.
class SWschemechoice {
public:
    virtual ~SWschemechoice() = default;
    virtual SchemeKind GetSchemeKind() const = 0;
    virtual const SWcompressionscheme* GetScheme() const = 0; // null: the kind's default
    virtual void SetScheme(const SWcompressionscheme* row) = 0;
};

// Which row a resource is written with.
enum class SchemeWriteMode : uint8_t {
    kChosen = 0,  // published files: the object's chosen row, else its kind's default
    kDefault = 1, // scene and project files: the kind's default (lossless); the object's choice is kept, not used
};

class SWcompressionschemes {
public:
    static SWcompressionschemes& Table(); // the process's table; rows registered at start-up

    SWcompressionschemes() = default; // an empty table of its own (tests and tools)
    SWcompressionschemes(const SWcompressionschemes&) = delete;
    SWcompressionschemes& operator=(const SWcompressionschemes&) = delete;

    // The table owns row from now on. False, with row destroyed: null, a kind outside 1..4, an id already taken,
    // or a second default of its kind.
    bool Register(std::unique_ptr<SWcompressionscheme> row);

    const SWcompressionscheme* FindById(uint32_t id) const; // null when missing
    const SWcompressionscheme* DefaultOf(SchemeKind kind) const;
    std::vector<const SWcompressionscheme*> OfferedRows(SchemeKind kind) const; // in registration order
    size_t Count() const { return m_rows.size(); }

    // Writes object with the row of mode; an object without a choice gets its kind's default as its choice. A
    // chosen row whose Accepts answers false is replaced by the default, and its Describe text is reported with
    // its short name as the caption: the resource is still stored. False: a kind outside 1..4, an object without a
    // choice of that kind, no row to use (nothing is stored then), or the row's Write failed.
    bool WriteResource(int kind, SWchunkstream& out, CVTN_Container* object, uint32_t word,
                       SchemeWriteMode mode = SchemeWriteMode::kChosen) const;
    // The row WriteResource would use, without writing or reporting; null when it would fail before writing.
    const SWcompressionscheme* RowFor(int kind, const CVTN_Container* object, SchemeWriteMode mode) const;
    // Reads the record at the stream whose tag names a row. False without consuming anything when no row has that
    // id; otherwise the row's answer, with the stream left after the record whatever the row read of it.
    bool ReadResource(uint32_t tag, SWchunkstream& in, CVTN_Container* object, uint32_t word) const;

private:
    std::vector<std::unique_ptr<SWcompressionscheme>> m_rows;
};

struct CompressionSchemeRegistration {
    explicit CompressionSchemeRegistration(std::unique_ptr<SWcompressionscheme> row); // into the process table
    bool registered;                                                                  // false when refused
};
