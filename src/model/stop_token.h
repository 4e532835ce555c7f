// Asks a running operation to stop. One side requests, the operation polls
// it between files and between blocks of a file; nothing waits on it.
#pragma once

#include <atomic>

class StopToken {
public:
    void Request() { requested_.store(true, std::memory_order_relaxed); }
    void Clear() { requested_.store(false, std::memory_order_relaxed); }
    bool Requested() const { return requested_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> requested_{false};
};
