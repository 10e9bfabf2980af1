#pragma once

// The rise of the process's peak resident size while a piece of work runs: the peak is
// reset first (/proc/self/clear_refs, "5"), then the peak (VmHWM) after the work is compared
// with the resident size (VmRSS) before it.

#include <cstdlib>
#include <fstream>
#include <string>

namespace kesto::bench {

// A field of /proc/self/status in KiB; -1 when it cannot be read.
inline long statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::strtol(line.c_str() + prefix.size(), nullptr, 10);
    }
    return -1;
}

inline bool resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return bool(clear);
}

// The rise of the peak resident size while `work` runs, in MiB; -1 when it cannot be told.
template <typename Work> double peakRiseMiB(Work work)
{
    if (!resetPeak())
        return -1;
    const long before = statusKiB("VmRSS");
    work();
    const long peak = statusKiB("VmHWM");
    return before < 0 || peak < 0 ? -1 : double(peak - before) / 1024.0;
}

} // namespace kesto::bench
