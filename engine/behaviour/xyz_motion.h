#pragma once
// SWxyzmotion: turns (timed-action type 2), moves (3) or scales (11) its node from three value generators, one
// per axis (action kinds 41, 43 and 53). Each step folds the generators' change into the node: rotations and
// translations accumulate deltas, a scale applies the ratio to the scale reached so far.
//
// Rotation orders (first, second, third axis; the i-th generator drives the i-th rotation):
//   0 XYZ  1 XZY  2 YZX  3 YXZ  4 ZXY  5 ZYX  6 XYX  7 YZY  8 ZXZ   (above 8: stored, axes unchanged)
//
// A scale factor (generator value + 1) never falls below 1e-6: an axis shrunk to nothing could never grow again,
// since the next ratio would divide by 0.
//
// Records: "7443" { u8 rotation order }, the three generators' outer records (channels 0, 1, 2), then the node
// motion's "7444" and, with a sound name, "7486". A generator record of channel 3 or more is read and dropped.
#include <array>
#include <cstdint>
#include <memory>

#include "engine/behaviour/generator.h"
#include "engine/behaviour/motion.h"

class SWxyzmotion : public SWnodemotion {
public:
    static constexpr uint32_t kRotate = 2;
    static constexpr uint32_t kTranslate = 3;
    static constexpr uint32_t kScale = 11;
    static constexpr float kSmallestScale = 1e-6f;

    explicit SWxyzmotion(SWworld* world, uint32_t type = kRotate); // three axis tracks of amount 0
    SWxyzmotion(const SWxyzmotion& other);                         // a running copy: generators cloned
    ~SWxyzmotion() override;

    void Apply() override;
    void Reset(bool onPassBoundary) override;
    void Rewind() override;
    bool Step(float nowMs) override;
    void SetTime(float ms) override;
    bool SetLoop(bool forever) override;
    int32_t SetRepeatCount(int32_t count) override;
    bool SetOscillate(bool on) override;
    float GetDuration() const override; // the longest generator's
    void SetDuration(float ms) override;
    void StretchDuration(float ms) override; // ms > 0: the axes scaled to it; without any length, each axis takes it
    SWmotion* Clone() const override { return new SWxyzmotion(*this); }

    bool SetMotionType(uint32_t type); // 2, 3 or 11; false (nothing changed) otherwise
    uint8_t GetRotationOrder() const { return m_order; }
    void SetRotationOrder(uint8_t order);
    int GetAxis(int i) const { return i >= 0 && i < 3 ? m_axes[static_cast<size_t>(i)] : -1; }
    SWgenerator* GetGenerator(int i) const; // null outside 0..2
    std::unique_ptr<SWgenerator>* GetAxisTrackSlot(int i);
    // Installs generator for axis i (0..2; others ignored) with this motion's loop settings; the duration follows.
    void SetGenerator(std::unique_ptr<SWgenerator> generator, int i);
    void CopyRepeatSettings(); // the motion's loop settings into its three generators
    bool IsRunningCopy() const { return m_runningCopy != 0; }

    bool Save(SWchunkstream& out) const override; // the records of the header comment, in order
    bool Load(SWchunkstream& in) override;        // false when damaged; what was read stays

private:
    void StepGenerators(float ms, bool setTime);

    std::array<uint16_t, 3> m_axes = {0, 1, 2};
    uint8_t m_order = 0;
    std::array<float, 3> m_lastScale = {1.0f, 1.0f, 1.0f};
    std::array<std::unique_ptr<SWgenerator>, 3> m_generators;
    std::array<float, 3> m_deltas = {}; // of this step; 0 for a generator that had already ended
    uint8_t m_runningCopy = 0;
};
