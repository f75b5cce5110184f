#pragma once

// What the benchmarks use to see whether the user-interface thread is held
// up: the longest gap between ticks of a 1 ms timer.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <ctime>

namespace bench {

inline qint64 threadCpuNs()
{
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Records the longest gap between ticks of a 1 ms timer: on the clock, and
// in the thread's own processor time (which a busy machine does not
// stretch).
class StallMeter : public QObject
{
public:
    StallMeter()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_longest = m_longestCpu = 0;
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNs();
        m_timer.start();
    }
    void stop()
    {
        m_timer.stop();
        tick();
    }
    double wallMs() const { return double(m_longest) / 1e6; }
    double cpuMs() const { return double(m_longestCpu) / 1e6; }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        m_longest = std::max(m_longest, now - m_last);
        m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
        m_last = now;
        m_lastCpu = cpu;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0, m_lastCpu = 0;
    qint64 m_longest = 0, m_longestCpu = 0;
};

} // namespace bench
