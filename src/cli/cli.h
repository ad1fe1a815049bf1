// The q3d command-line tool over the core, callable in-process for tests.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace ivo {

// Exit statuses: 0 success, 1 a file was refused or could not be written, 2 bad usage.
int runQ3d(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ivo
