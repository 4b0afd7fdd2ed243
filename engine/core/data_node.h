#pragma once
// SWdatanode: a list element carrying one datum with a type code; action arguments are lists of them.
//
//   type 0 (kObject): an object pointer, never owned. A new node has type 0 and a null datum.
//   type 1 (kString): a text, copied into the node when asked, else the caller's pointer is kept (and the caller
//                     keeps the text alive for as long as the node refers to it).
//   type 2 (kByte):   a byte, stored in the node.
//   type 3 (kInt):    a 32-bit integer, stored in the node.
//
// GetData(type) answers null unless the node holds a datum of that type; otherwise the object pointer (0), the
// text (1), or the address of the stored byte (2) or integer (3), through which handlers read it.
#include "engine/core/list_node.h"

#include <cstdint>
#include <string>

class SWdatanode : public SWlistnode {
public:
    static constexpr int kObject = 0;
    static constexpr int kString = 1;
    static constexpr int kByte = 2;
    static constexpr int kInt = 3;

    SWdatanode() = default;              // type 0, null datum
    SWdatanode(const SWdatanode& other); // a copied text is copied again; a kept one is shared
    SWdatanode& operator=(const SWdatanode& other);
    ~SWdatanode() override = default;

    bool SetData(const void* datum, int type, bool copy); // replaces the datum: for 0 the pointer, for 1 the text
                                                          // (copied when copy is set), for 2 and 3 the value at
                                                          // datum is copied in (null stores 0); false: unknown
                                                          // type, nothing changed
    void SetObject(void* object);                         // type 0
    void SetText(const char* text, bool copy);            // type 1
    void SetByte(uint8_t value);                          // type 2
    void SetInt(int32_t value);                           // type 3

    int GetType() const { return m_type; }
    void* GetData(int type); // see the header comment; null when the type differs
    const void* GetData(int type) const;
    const char* GetText() const; // null unless type 1 with a text

private:
    void PointAtOwnText();

    int m_type = kObject;
    void* m_object = nullptr;     // type 0; not owned
    const char* m_text = nullptr; // type 1: m_ownText's bytes, or the caller's
    std::string m_ownText;        // type 1 when copied
    bool m_ownsText = false;
    uint8_t m_byte = 0; // type 2
    int32_t m_int = 0;  // type 3
};
