#include "codecs/geometry/integer_coder_stats.h"

namespace px {

namespace {

thread_local IntegerCoderStats* tRecording = nullptr;

} // namespace

void IntegerBlockBits::Add(const IntegerBlockBits& other)
{
    blocks += other.blocks;
    absoluteBits += other.absoluteBits;
    fixedBits += other.fixedBits;
    tableBits += other.tableBits;
    codeBits += other.codeBits;
    escapeBits += other.escapeBits;
    deltaValues += other.deltaValues;
    tableEntries += other.tableEntries;
    escapedValues += other.escapedValues;
}

IntegerCoderStatsRecording::IntegerCoderStatsRecording(IntegerCoderStats& target) : m_previous(tRecording)
{
    tRecording = &target;
}

IntegerCoderStatsRecording::~IntegerCoderStatsRecording()
{
    tRecording = m_previous;
}

void RecordIntegerBlock(uint8_t kind, const IntegerBlockBits& bits)
{
    if (tRecording && kind < tRecording->size())
        (*tRecording)[kind].Add(bits);
}

} // namespace px
