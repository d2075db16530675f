#pragma once

#include "image/ImageFiles.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

// How far a decoder on another thread has written an image: its rows are written top to bottom,
// and a reader may use a row once it is counted here. Rows the decoder never wrote, because the
// decode failed or was abandoned, are white once it has ended, so that nothing unwritten is ever
// shown or saved.
class DecodeProgress
{
public:
    explicit DecodeProgress(int rows)
        : m_total(rows)
    {
    }

    // The decoder's side.
    void rowsWritten(int rows);
    void finish(LoadError error);
    const std::atomic<bool>& abandoned() const { return m_abandoned; }
    // Waits until a reader has waited for a row not yet written; for tests' decoders, that hold
    // back the rest of an image until someone needs it.
    void waitForDemand();

    // The reader's side.
    int total() const { return m_total; }
    int written() const;
    // Waits until the first `rows` rows are written or the decode has ended.
    void waitForRows(int rows);
    // Waits until the decode has ended: how it ended.
    LoadError waitForEnd();
    bool ended() const;
    // Asks the decoder to stop soon; the rows it did not write stay as they are.
    void abandon();

private:
    const int m_total;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_written = 0;
    int m_waiting = 0;
    int m_wanted = 0; // the most rows any reader has waited for
    bool m_ended = false;
    LoadError m_error = LoadError::None;
    std::atomic<bool> m_abandoned { false };
};
