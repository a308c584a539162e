#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <utility>

namespace zonkle::bench {

// Context switches (voluntary and involuntary) per thread: thread id -> (name, count).
using SwitchCounts = std::map<std::string, std::pair<std::string, long>>;

// VmRSS of the process in KiB, from /proc.
long residentKib(pid_t pid);
SwitchCounts contextSwitches(pid_t pid);
// Switches made between two samples; the threads that made them are appended to `busyThreads`.
long switchesBetween(const SwitchCounts& before, const SwitchCounts& after, std::string* busyThreads);

} // namespace zonkle::bench
