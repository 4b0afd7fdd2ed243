#pragma once
// Where the bits of integer-coded blocks go, per stream kind: the measurement behind the choice of code tables.
// Recording is per thread and off unless a IntegerCoderStatsRecording is alive, so encoding costs nothing extra.
#include <array>
#include <cstdint>

namespace px {

struct IntegerBlockBits {
    uint64_t blocks = 0;
    uint64_t absoluteBits = 0; // raw values of absolute items
    uint64_t fixedBits = 0;    // min, max, and with delta items the longest length, entry count, escape index, N
    uint64_t tableBits = 0;    // the table entries, each offset plus length
    uint64_t codeBits = 0;     // codes of values that have a table entry
    uint64_t escapeBits = 0;   // escape codes and the raw offsets that follow them
    uint64_t deltaValues = 0;
    uint64_t tableEntries = 0; // escape entries included
    uint64_t escapedValues = 0;

    uint64_t TotalBits() const { return absoluteBits + fixedBits + tableBits + codeBits + escapeBits; }
    void Add(const IntegerBlockBits& other);
};

// Indexed by stream kind (1..9); index 0 stays empty.
using IntegerCoderStats = std::array<IntegerBlockBits, 10>;

// While alive, every block the integer coder writes on this thread is added to the target, under the kind of the
// stream it goes to. Recordings nest: the innermost one receives.
class IntegerCoderStatsRecording {
public:
    explicit IntegerCoderStatsRecording(IntegerCoderStats& target); // target outlives the recording
    ~IntegerCoderStatsRecording();
    IntegerCoderStatsRecording(const IntegerCoderStatsRecording&) = delete;
    IntegerCoderStatsRecording& operator=(const IntegerCoderStatsRecording&) = delete;

private:
    IntegerCoderStats* m_previous; // restored on destruction
};

// Adds one block's bits under kind; nothing when no recording is alive or the kind is out of range.
void RecordIntegerBlock(uint8_t kind, const IntegerBlockBits& bits);

} // namespace px
