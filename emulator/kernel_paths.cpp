// The report of `glyphhost paths` (kernel_paths.h).
#include "emulator/kernel_paths.h"

#include <sstream>

#include "library/kernel_list.h"
#include "platform/cpu_features.h"

namespace ghemu {
namespace {

std::string featureNames(uint64_t bits) {
    std::string names;
    for (int i = 0; i < kCpuFeatureCount; ++i) {
        if ((bits >> i) & 1) names += std::string(names.empty() ? "" : " ") + gh_cpu_feature_name(i);
    }
    return names.empty() ? "-" : names;
}

}  // namespace

std::vector<std::string> reportKernelPaths(std::ostream &out) {
    uint64_t detected = gh_cpu_detected_bits(), used = gh_cpu_feature_bits();
    out << "processor: " << featureNames(detected) << "\n";
    if (gh_cpu_portable_forced()) out << "GH_FORCE_PORTABLE=1: the library uses none of them\n";
    for (int n = 0; n < kAllKernelCount; ++n) {
        Kernel *k = kAllKernels[n];
        int chosen = gh_kernel_path(k);
        out << k->name << ": " << k->paths[chosen].name << " (" << gh_kernel_how_name(k->how) << ")\n";
        for (int i = 0; i < k->count; ++i) {
            if (!gh_kernel_has_path(*k, i)) continue;
            const KernelPath &p = k->paths[i];
            std::string line = std::string(i == chosen ? "  * " : "    ") + p.name;
            line.resize(18, ' ');
            line += "needs " + featureNames(p.needs);
            uint64_t lacking = p.needs & ~used;
            if (lacking) {
                line += ", not here: no " + featureNames(lacking);
            } else if (gh_kernel_passed_over(*k, i)) {
                line += ", passed over here: slower on this processor than a later path";
            }
            out << line << "\n";
        }
    }
    std::vector<std::string> problems;
    char text[4096];
    gh_kernel_force_problems(text, sizeof text);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty()) problems.push_back(line);
    }
    return problems;
}

}  // namespace ghemu
