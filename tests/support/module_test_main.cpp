// Main of the module tests: GoogleTest takes its own flags, the three module files' paths
// remain, in build order test1, test2, test3.
#include <cstdio>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/module_paths.h"

namespace vellary::test {

namespace {
std::string modulePaths[kBuildVariants];
} // namespace

const std::string& builtModulePath(int variant) {
    static const std::string none;
    return variant >= 1 && variant <= kBuildVariants ? modulePaths[variant - 1] : none;
}

} // namespace vellary::test

int main(int argc, char** argv) {
    testing::InitGoogleMock(&argc, argv);
    if (argc != 1 + vellary::test::kBuildVariants) {
        std::fprintf(stderr, "usage: %s [gtest flags] TEST1_MODULE TEST2_MODULE TEST3_MODULE\n",
                     argv[0]);
        return 2;
    }
    for (int i = 0; i < vellary::test::kBuildVariants; ++i) {
        vellary::test::modulePaths[i] = argv[1 + i];
    }
    return RUN_ALL_TESTS();
}
