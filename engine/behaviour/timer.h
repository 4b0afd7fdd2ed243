#pragma once
// The millisecond timer of delayed actions and of the world, on the system clock (pf::timeGetTime). The start is
// kept as the clock's raw 32-bit reading and the elapsed time is taken by unsigned subtraction before it becomes a
// float: a float start time loses whole milliseconds after a few hours of uptime, and a signed difference turns
// negative when the clock wraps after 49.7 days, after which nothing would ever expire.
#include <cstdint>

class SWtimerbase {
public:
    virtual ~SWtimerbase() = default;
    virtual double GetResolution() const = 0; // ms
    virtual void SetPeriod(float periodMs) { m_periodMs = periodMs; }
    virtual void Start() = 0;
    virtual void Stop(float* outElapsedMs) = 0;
    virtual double Elapsed() const = 0;
    virtual bool Expired(float* outElapsedMs) = 0;

    bool IsRunning() const { return m_running != 0; }
    float GetPeriod() const { return m_periodMs; }

protected:
    uint8_t m_running = 0;
    float m_periodMs = 0.0f;
};

class SWtimer : public SWtimerbase {
public:
    double GetResolution() const override;            // the clock's minimum period; 0.0 when the query fails
    void Start() override;                            // running, from now
    void Stop(float* outElapsedMs) override;          // writes now - start when asked (0 when idle), then idle
    double Elapsed() const override;                  // now - start while running, else 0
    bool Expired(float* outElapsedMs) override;       // true once per start, at the first query at or past the period
    uint32_t GetStartMs() const { return m_startMs; } // the clock's raw reading at Start

private:
    uint32_t ElapsedMs() const; // correct across the clock's wrap

    uint32_t m_startMs = 0;
};
