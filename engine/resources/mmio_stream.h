#pragma once
// MmioStream: where the sound handlers read wave samples from and write them to, in one of three modes:
//   0  a RIFF/WAVE file: its "data" bytes (WavFile opens these);
//   1  plain bytes in a record of a record stream;
//   2  a plain file, bytes as they are (WavFile opens these too; written through a temporary file and a rename).
// A mode-1 stream is also a byte sink and source of the wave codec, so the codec reads and writes a record's
// payload directly.
//
// A mode-1 source may keep a history of the last bytes it delivered; StepBack moves back into it (or forward
// again), and the next reads deliver the bytes stepped over again. Steps never leave what the history holds.
//
// A sink must be closed: Close answers whether every byte (and, in mode 0, the header's sizes) reached its
// destination. The destructor closes one that was not, silently, which is for error paths only.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "codecs/sound/wave_codec/wave_file_codec.h"

class SWchunkstream;
namespace pf {
class AtomicFile;
class RiffWaveReader;
class RiffWaveWriter;
} // namespace pf

class MmioStream : public sound::WaveByteSink, public sound::WaveByteSource {
public:
    static constexpr int kModeRiffWave = 0;
    static constexpr int kModeRecord = 1;
    static constexpr int kModePlainFile = 2;
    static constexpr uint32_t kMaxHistoryBytes = 1u << 20;

    // Mode 1 over stream (not owned; it outlives this and is not used by others meanwhile). outError becomes 1
    // when stream is null or not of the direction asked, else 0.
    MmioStream(SWchunkstream* stream, bool write, uint8_t& outError);
    ~MmioStream() override;
    MmioStream(const MmioStream&) = delete;
    MmioStream& operator=(const MmioStream&) = delete;

    int GetMode() const { return m_mode; }
    bool IsSink() const { return m_write; }
    bool HasFailed() const { return m_failed; } // a read or write met an error; sticky

    // Up to n bytes into buffer (history first, then the source); with widen, n / 2 source bytes, each unsigned
    // byte b becoming the 16-bit little-endian sample 257 x b - 32768. outCount: bytes placed in buffer. False,
    // with outCount 0, at the end, on an error or on a sink.
    bool Read(void* buffer, size_t n, size_t& outCount, bool widen);
    // Appends n bytes. False when this is not a sink or the bytes could not be stored (and from then on).
    bool Write(const void* bytes, size_t n);

    // Mode-1 sources only: keep the last capacity source bytes delivered (at most kMaxHistoryBytes); what was
    // kept before is dropped. False for other streams or a larger capacity.
    bool SetHistory(uint32_t capacity);
    // n < 0 steps back |n| bytes, n > 0 forward again. A step past what the history holds, or past the newest
    // byte delivered, stops there and answers false.
    bool StepBack(int64_t n);
    size_t HistoryHeld() const; // bytes a step back may reach now
    size_t PendingReplay() const { return static_cast<size_t>(m_delivered - m_position); }

    // Ends the stream once; later calls answer the same. Sinks: true when everything reached the destination.
    bool Close();

    // The wave codec's byte sink and source.
    bool Write(std::span<const uint8_t> bytes) override;
    size_t Read(std::span<uint8_t> out) override;

protected:
    MmioStream(int mode, bool write); // for WavFile, which then opens the device
    void SetFailed() { m_failed = true; }

    std::unique_ptr<pf::RiffWaveReader> m_reader; // mode 0 source
    std::unique_ptr<pf::RiffWaveWriter> m_writer; // mode 0 sink
    std::FILE* m_file = nullptr;                  // mode 2 source, owned
    std::unique_ptr<pf::AtomicFile> m_output;     // mode 2 sink

private:
    size_t ReadSource(uint8_t* out, size_t n); // from the device, past the history
    size_t FetchRaw(uint8_t* out, size_t n);   // history first, then the device
    void Remember(const uint8_t* bytes, size_t n);
    bool CloseDevice();

    int m_mode;
    bool m_write;
    bool m_failed = false;
    bool m_closed = false;
    bool m_closeResult = false;
    SWchunkstream* m_stream = nullptr; // mode 1; the caller's
    std::vector<uint8_t> m_history;    // a ring, indexed by delivered position modulo its size
    uint64_t m_delivered = 0;          // source bytes delivered since the history was set
    uint64_t m_position = 0;           // where the next read starts, at most m_delivered
};
