// libFuzzer entry point: every input is one host session with the camera module (see
// camera_fuzz_session.h). Built once per build variant.
#include <cstddef>
#include <cstdint>

#include "fuzz/camera_fuzz_session.h"
#include "host/build_variant.h"

namespace vellary_fuzz {
int linkedBuildVariant() {
    return VELLARY_BUILD_VARIANT;
}
} // namespace vellary_fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vellary_fuzz::HostileInput input(data, size);
    vellary_fuzz::CameraFuzzSession session(input);
    session.run();
    return 0;
}
