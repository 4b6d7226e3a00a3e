// Evaluates a fixed number of rays of one build through the evaluate slot of the host's
// handler record, for instruction counts under callgrind (tools/callgrind-rays.sh):
//   vellary_ray_driver test2 [RAYS] [floor]
// The loop over the rays is the function handlerRays; with "floor" the same rays go through
// the inlined floor instead, in the function floorRays, so callgrind can count either loop. The
// counts are deterministic; the arguments are the benchmark's.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_world.h"
#include "bench/ray_arguments.h"
#include "bench/ray_floor.h"

namespace {

template <int Variant>
__attribute__((noinline)) long floorRaysOf(const std::vector<vbench::RayArguments>& rays,
                                           long count, RayRecord* ray) {
    long made = 0;
    for (long i = 0; i < count; ++i) {
        const vbench::RayArguments& a = rays[static_cast<std::size_t>(i) % rays.size()];
        made += vbench::evaluateRayInline<Variant>(a.filmX, a.filmY, a.lensX, a.lensY,
                                                   a.timeFraction, ray);
        asm volatile("" ::: "memory"); // as in the benchmark: record written, table re-read
    }
    return made;
}

} // namespace

// The floor's loop, by a name callgrind can toggle collection on.
extern "C" __attribute__((noinline)) long
floorRays(int variant, const std::vector<vbench::RayArguments>& rays, long count, RayRecord* ray) {
    switch (variant) {
    case 1:
        return floorRaysOf<1>(rays, count, ray);
    case 2:
        return floorRaysOf<2>(rays, count, ray);
    default:
        return floorRaysOf<3>(rays, count, ray);
    }
}

// The host's loop over the same rays, by a name callgrind can toggle collection on: the
// counterpart of floorRays, call and argument passing included.
extern "C" __attribute__((noinline)) long handlerRays(const vbench::LoadedVariant& loaded,
                                                      const std::vector<vbench::RayArguments>& rays,
                                                      long count, RayRecord* ray) {
    const HandlerCallbackTable* handler = &loaded.module->handlerCallbacks();
    long made = 0;
    for (long i = 0; i < count; ++i) {
        const vbench::RayArguments& a = rays[static_cast<std::size_t>(i) % rays.size()];
        made += handler->evaluate(loaded.instance, a.filmX, a.filmY, a.lensX, a.lensY,
                                  a.timeFraction, ray);
    }
    return made;
}

namespace {

int usage(const char* program) {
    std::fprintf(stderr, "usage: %s test1|test2|test3 [RAYS] [floor]\n", program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        return usage(argv[0]);
    }
    const std::string build = argv[1];
    const int variant = build == "test1" ? 1 : build == "test2" ? 2 : build == "test3" ? 3 : 0;
    const long count = argc >= 3 ? std::strtol(argv[2], nullptr, 10) : 100000;
    const bool floor = argc == 4 && std::string(argv[3]) == "floor";
    if (variant == 0 || count <= 0 || (argc == 4 && !floor)) {
        return usage(argv[0]);
    }
    std::string error;
    std::unique_ptr<vbench::BenchWorld> world =
        vbench::BenchWorld::open(vbench::builtModulePaths(), &error);
    if (world == nullptr) {
        std::fprintf(stderr, "vellary_ray_driver: %s\n", error.c_str());
        return 1;
    }
    if (!world->buildTable(variant, vbench::kRayFrameMotionSteps) ||
        !world->buildLocalTable(vbench::kRayFrameMotionSteps)) {
        std::fprintf(stderr, "vellary_ray_driver: new frame failed\n");
        return 1;
    }
    const std::vector<vbench::RayArguments> rays = vbench::makeRayArguments(
        vbench::kRaysPerBatch, vbench::kFilmWidth, vbench::kFilmHeight, 20240611u);
    RayRecord ray{};
    const long made = floor ? floorRays(variant, rays, count, &ray)
                            : handlerRays(world->variant(variant), rays, count, &ray);
    std::printf("%s: %ld rays evaluated%s\n", build.c_str(), made, floor ? " (floor)" : "");
    const std::vector<std::string> violations = world->close();
    for (const std::string& violation : violations) {
        std::fprintf(stderr, "host violation: %s\n", violation.c_str());
    }
    return made == count && violations.empty() ? 0 : 1;
}
