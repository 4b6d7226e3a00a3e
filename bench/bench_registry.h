// The benchmark groups main registers, in the order they run, and the names the summary reads
// their figures by.
#pragma once

#include <string>

namespace vbench {

void registerEvaluateRayBenchmarks();   // "evaluateRay/testN", "floor/testN"
void registerSampleTableBenchmarks();   // "buildSampleTable/<steps>steps/log{On,Off}",
                                        // "hostCalls/..."
void registerPreviewBenchmarks();       // "buildPreviewMatrix/log{On,Off}", "hostCalls/..."
void registerRenderScalingBenchmarks(); // "render/threads:<n>[/floor]"

// Motion-step counts of the sample-table benchmarks.
inline constexpr int kTableMotionSteps[] = {0, 1, 4, 16, 64};

inline int tableEntries(int motionSteps) {
    return 4 * motionSteps + 1;
}

inline std::string pairedRayName(int variant) {
    return "paired/evaluateRay/test" + std::to_string(variant);
}

inline const char* const kPairedLinearityName = "paired/buildSampleTable/64vs16steps";
inline const char* const kPairedTableHostName = "paired/buildSampleTable/16steps/host";
inline const char* const kPairedPreviewHostName = "paired/buildPreviewMatrix/host";

inline std::string sampleTableName(int motionSteps, bool logging) {
    return "buildSampleTable/" + std::to_string(motionSteps) + "steps/log" +
           (logging ? "On" : "Off");
}

inline std::string sampleTableHostName(int motionSteps) {
    return "hostCalls/buildSampleTable/" + std::to_string(motionSteps) + "steps";
}

inline std::string previewName(bool logging) {
    return std::string("buildPreviewMatrix/log") + (logging ? "On" : "Off");
}

inline const char* const kPreviewHostName = "hostCalls/buildPreviewMatrix";

// The render through the module, or with the inlined floor as its camera.
inline std::string renderName(int threads, bool floor) {
    return "render/threads:" + std::to_string(threads) + (floor ? "/floor" : "");
}

} // namespace vbench
