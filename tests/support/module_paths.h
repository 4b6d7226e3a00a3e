// The built module files a module test loads, as its command line names them: the files of
// builds test1, test2 and test3, in this order (see vellary_module_test).
#pragma once

#include <string>

namespace vellary::test {

inline constexpr int kBuildVariants = 3;

// The file of build variant 1, 2 or 3.
const std::string& builtModulePath(int variant);

} // namespace vellary::test
