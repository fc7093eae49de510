#pragma once
// The one way a long job learns that it should stop. The caller owns the token, clears it before it starts a job
// and may set it from any thread (a Cancel button, Ctrl-C); the job only reads it, between files and inside libzip's
// cancel callback, so a cancel that comes at any moment is never lost.

#include <atomic>

class CancelToken {
  public:
    CancelToken() = default;
    CancelToken(const CancelToken&) = delete;
    CancelToken& operator=(const CancelToken&) = delete;

    /// Asks every job holding this token to stop; safe from any thread and from a signal handler.
    void cancel() noexcept { m_flag.store(true, std::memory_order_relaxed); }
    /// Only the owner calls this, before it starts a new job.
    void clear() noexcept { m_flag.store(false, std::memory_order_relaxed); }
    bool cancelled() const noexcept { return m_flag.load(std::memory_order_relaxed); }

  private:
    std::atomic_bool m_flag{false};
    static_assert(std::atomic_bool::is_always_lock_free, "a signal handler sets the token");
};
