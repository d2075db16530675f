#include "image/DecodeProgress.h"

#include <algorithm>

void DecodeProgress::rowsWritten(int rows)
{
    {
        const std::lock_guard lock(m_mutex);
        m_written = std::max(m_written, std::min(rows, m_total));
        if (m_waiting == 0) return;
    }
    m_changed.notify_all();
}

void DecodeProgress::finish(LoadError error)
{
    {
        const std::lock_guard lock(m_mutex);
        m_ended = true;
        m_error = error;
    }
    m_changed.notify_all();
}

void DecodeProgress::waitForDemand()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_wanted > m_written || m_abandoned; });
}

void DecodeProgress::waitForRows(int rows)
{
    std::unique_lock lock(m_mutex);
    if (m_ended || m_written >= std::min(rows, m_total)) return;
    ++m_waiting;
    m_wanted = std::max(m_wanted, std::min(rows, m_total));
    m_changed.notify_all(); // a decoder waiting for demand goes on
    m_changed.wait(lock, [&] { return m_ended || m_written >= std::min(rows, m_total); });
    --m_waiting;
}

LoadError DecodeProgress::waitForEnd()
{
    waitForRows(m_total);
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_ended; });
    return m_error;
}

bool DecodeProgress::ended() const
{
    const std::lock_guard lock(m_mutex);
    return m_ended;
}

int DecodeProgress::written() const
{
    const std::lock_guard lock(m_mutex);
    return m_written;
}

void DecodeProgress::abandon()
{
    {
        const std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_changed.notify_all();
}
