// For support: a thread's own CPU time, published so its idle cost can be measured from outside.
#pragma once

#include <windows.h>

#include <atomic>

namespace hm {

// Kernel plus user time of the calling thread, 100 ns units; unchanged when Windows refuses.
inline void RecordThreadCpu(std::atomic<long long>& into) {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return;
    auto value = [](const FILETIME& f) { return (long long)f.dwHighDateTime << 32 | f.dwLowDateTime; };
    into.store(value(kernel) + value(user));
}

}  // namespace hm
