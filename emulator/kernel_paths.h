// What `glyphhost paths` prints: every kernel of the library (the same code
// as the shipped libraries, linked in, making the same deterministic
// choice), its candidate paths, the path chosen and why.
#ifndef GH_EMULATOR_KERNEL_PATHS_H
#define GH_EMULATOR_KERNEL_PATHS_H

#include <ostream>
#include <string>
#include <vector>

namespace ghemu {

// Writes the report to out; returns what GH_FORCE_PATH asked and could not
// have (one message each), empty when nothing.
std::vector<std::string> reportKernelPaths(std::ostream &out);

}  // namespace ghemu

#endif
