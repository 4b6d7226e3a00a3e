// `hostsim render MODULE -o FILE.png [options]`: renders the built-in scene through the camera
// module, as the host renders a frame: one camera instance, its five settings animated in the
// stand-in scene, one new-frame call, then one evaluateRay call per camera sample (film position
// within the pixel, lens position on the unit disc, time within the exposure). The rays are
// traced against the default scene and the picture is written as PNG. It prints the preview
// callback's projection matrix and what the render cost.
//
// `--batch FILE` renders several pictures in one process: each non-empty line of FILE holds
// the options of one picture (given on top of those on the command line), and '#' starts a
// comment line. Under emulation a process start costs seconds, a module load almost nothing.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "hostsim/cli_commands.h"
#include "hostsim/keyed_value.h"
#include "hostsim/module_render.h"
#include "hostsim/module_session.h"
#include "hostsim/png_writer.h"
#include "hostsim/progress_bar.h"
#include "hostsim/render/default_scene.h"

namespace hostsim::cli {

namespace {

constexpr double kDegrees = std::numbers::pi / 180.0;
// evaluateRay is timed on its own for at most this many rays of each picture.
constexpr std::uint64_t kEvaluateTimingRays = 200000;

struct RenderOptions {
    std::string output;
    int width = 600;
    int height = 400;
    int samplesPerPixel = 16;
    int threads = 0;
    std::uint64_t seed = 1;
    // The five settings, as typed: a value or TIME:VALUE keys; angles in degrees.
    std::string zoomFactor = "3.2";
    std::string hShift = "0";
    std::string vShift = "0";
    std::string tiltDirection = "0";
    std::string tiltAngle = "0";
    double focusDistance = render::defaultCamera().focusDistance;
    double fStop = render::defaultCamera().fStop;
    double filmWidth = render::defaultCamera().filmWidth;
    double filmHeight = render::defaultCamera().filmHeight;
    int motionSteps = 1;
    double frameStart = 0.0;
    double frameDuration = 1.0 / 24.0;
    std::vector<double> position{0.0, 1.6, 0.0};
    double headingDegrees = 0.0;
    double pitchUpDegrees = 0.0;
    double bankDegrees = 0.0;
    double moveX = 0.0;
    double moveY = 0.0;
    double moveZ = 0.0;
    double panDegrees = 0.0;
    bool quiet = false;
};

// --- Checks of what the user typed --------------------------------------------------------------

bool readDouble(const std::string& text, double* value) {
    return CLI::detail::lexical_cast(text, *value);
}

// A finite number within [minimum, maximum]; above the minimum strictly when asked (an f-stop or
// a film size of 0 has no meaning). NaN and infinities never pass.
CLI::Validator finiteWithin(double minimum, double maximum, bool aboveMinimum = false) {
    std::ostringstream description;
    description << "NUMBER in " << (aboveMinimum ? "(" : "[") << minimum << ", " << maximum << "]";
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            double value = 0.0;
            if (!readDouble(text, &value) || !std::isfinite(value)) {
                return "not a finite number: " + text;
            }
            if (value < minimum || value > maximum || (aboveMinimum && value == minimum)) {
                std::ostringstream why;
                why << text << " is outside " << (aboveMinimum ? "(" : "[") << minimum << ", "
                    << maximum << "]";
                return why.str();
            }
            return {};
        },
        description.str());
}

CLI::Validator keyedWithin(ValueLimits limits) {
    return CLI::Validator(
        [=](std::string& text) -> std::string {
            std::string error;
            return parseKeyedValue(text, limits, 1.0, &error) ? std::string{} : error;
        },
        "VALUE or TIME:VALUE,...");
}

// The limits of the five settings, in the units typed.
constexpr ValueLimits kZoomLimits{1e-3, 1e3};
constexpr ValueLimits kShiftLimits{-5.0, 5.0};
constexpr ValueLimits kDirectionLimits{-3600.0, 3600.0};
constexpr ValueLimits kTiltLimits{-90.0, 90.0}; // the panel's limits

// Every option of one picture; the command line and each batch line share them.
void addPictureOptions(CLI::App& app, RenderOptions& o) {
    app.add_option("-o,--output", o.output, "The PNG file to write");
    app.add_option("--width", o.width, "Image width in pixels")->check(CLI::Range(1, 8192));
    app.add_option("--height", o.height, "Image height in pixels")->check(CLI::Range(1, 8192));
    app.add_option("--spp", o.samplesPerPixel, "Camera samples per pixel")
        ->check(CLI::Range(1, 4096));
    app.add_option("--threads", o.threads, "Worker threads (0: every core)")
        ->check(CLI::Range(0, 256));
    app.add_option("--seed", o.seed, "Seed of the sample jitter");
    app.add_option("--zoom", o.zoomFactor, "Zoom factor (focal length = film height x zoom / 2)")
        ->check(keyedWithin(kZoomLimits));
    app.add_option("--h-shift", o.hShift, "Horizontal film shift, fraction of the film width")
        ->check(keyedWithin(kShiftLimits));
    app.add_option("--v-shift", o.vShift, "Vertical film shift, fraction of the film height")
        ->check(keyedWithin(kShiftLimits));
    app.add_option("--tilt-direction", o.tiltDirection, "Direction of the tilt axis, degrees")
        ->check(keyedWithin(kDirectionLimits));
    app.add_option("--tilt-angle", o.tiltAngle, "Tilt of the plane of focus, degrees")
        ->check(keyedWithin(kTiltLimits));
    app.add_option("--focus-distance", o.focusDistance, "Focus distance in metres")
        ->check(finiteWithin(0.0, 1e6, true));
    app.add_option("--f-stop", o.fStop, "Aperture f-number (huge: a pinhole)")
        ->check(finiteWithin(0.0, 1e12, true));
    app.add_option("--film-width", o.filmWidth, "Film width in metres")
        ->check(finiteWithin(0.0, 1.0, true));
    app.add_option("--film-height", o.filmHeight, "Film height in metres")
        ->check(finiteWithin(0.0, 1.0, true));
    app.add_option("--motion-steps", o.motionSteps, "Host motion-blur steps of the frame")
        ->check(CLI::Range(0, 64));
    app.add_option("--time", o.frameStart, "Host time at which the frame starts")
        ->check(finiteWithin(-1e6, 1e6));
    app.add_option("--exposure", o.frameDuration, "Host time the shutter stays open")
        ->check(finiteWithin(0.0, 1e3));
    app.add_option("--position", o.position, "Camera position X,Y,Z in metres")
        ->delimiter(',')
        ->expected(3)
        ->check(finiteWithin(-1e4, 1e4));
    app.add_option("--heading", o.headingDegrees, "Camera heading, degrees (positive: right)")
        ->check(finiteWithin(-360.0, 360.0));
    app.add_option("--pitch", o.pitchUpDegrees, "Camera pitch, degrees (positive: looking up)")
        ->check(finiteWithin(-89.0, 89.0));
    app.add_option("--bank", o.bankDegrees, "Camera bank, degrees")
        ->check(finiteWithin(-360.0, 360.0));
    app.add_option("--move-x", o.moveX, "Camera moves this far along x during the frame (m)")
        ->check(finiteWithin(-1e3, 1e3));
    app.add_option("--move-y", o.moveY, "... along y (m)")->check(finiteWithin(-1e3, 1e3));
    app.add_option("--move-z", o.moveZ, "... along z (m)")->check(finiteWithin(-1e3, 1e3));
    app.add_option("--pan", o.panDegrees, "Camera heading turns this far during the frame (deg)")
        ->check(finiteWithin(-360.0, 360.0));
    app.add_flag("-q,--quiet", o.quiet, "No progress bar");
}

std::vector<Key> keysOf(const std::string& text, ValueLimits limits, double scale) {
    std::string error;
    return parseKeyedValue(text, limits, scale, &error).value_or(std::vector<Key>{});
}

// The options, already checked by the parser, as the host's frame.
ModuleRenderJob jobOf(const RenderOptions& o) {
    ModuleRenderJob job;
    job.settings.zoomFactor = keysOf(o.zoomFactor, kZoomLimits, 1.0);
    job.settings.hShift = keysOf(o.hShift, kShiftLimits, 1.0);
    job.settings.vShift = keysOf(o.vShift, kShiftLimits, 1.0);
    job.settings.tiltDirection = keysOf(o.tiltDirection, kDirectionLimits, kDegrees);
    job.settings.tiltAngle = keysOf(o.tiltAngle, kTiltLimits, kDegrees);
    job.camera.position = {o.position[0], o.position[1], o.position[2]};
    // The host's pitch turns the view down; the command line's turns it up.
    job.camera.rotation = {o.headingDegrees * kDegrees, -o.pitchUpDegrees * kDegrees,
                           o.bankDegrees * kDegrees};
    job.camera.move = {o.moveX, o.moveY, o.moveZ};
    job.camera.pan = o.panDegrees * kDegrees;
    job.focusDistance = o.focusDistance;
    job.fStop = o.fStop;
    job.frameStart = o.frameStart;
    job.frameDuration = o.frameDuration;
    job.motionSteps = o.motionSteps;
    job.render.width = o.width;
    job.render.height = o.height;
    job.render.samplesPerPixel = o.samplesPerPixel;
    job.render.threads = o.threads;
    job.render.filmWidth = o.filmWidth;
    job.render.filmHeight = o.filmHeight;
    job.render.seed = o.seed;
    return job;
}

// --- Reporting ----------------------------------------------------------------------------------

void printMatrix(const Matrix4d& matrix, int result, double time) {
    std::printf("  preview matrix at time %g (callback returned %d):\n", time, result);
    for (int row = 0; row < 4; ++row) {
        std::printf("    [");
        for (int column = 0; column < 4; ++column) {
            std::printf(" %13.6g", matrix.m[4 * row + column]);
        }
        std::printf(" ]\n");
    }
}

void printStats(const RenderOptions& o, const ModuleRenderResult& result,
                const EvaluateThroughput& alone) {
    const render::RenderStats& stats = result.render.stats;
    std::printf("wrote %s: %d x %d, %d samples per pixel, %d threads\n", o.output.c_str(), o.width,
                o.height, o.samplesPerPixel, stats.threads);
    std::printf("  whole image: %.3f s, %llu camera rays, %.3f M rays/s (evaluateRay and "
                "tracing)\n",
                stats.seconds, static_cast<unsigned long long>(stats.cameraRays),
                stats.raysPerSecond / 1e6);
    if (alone.rays > 0) {
        std::printf("  evaluateRay alone: %.3f M rays/s (%llu rays on one thread, %.3f s)\n",
                    alone.raysPerSecond / 1e6, static_cast<unsigned long long>(alone.rays),
                    alone.seconds);
    }
}

// --- One picture --------------------------------------------------------------------------------

bool renderPicture(ModuleSession& session, const RenderOptions& o) {
    std::string error;
    HostInstance instance = session.createInstance(&error);
    if (instance == nullptr) {
        std::cerr << "hostsim render: no camera instance: " << error << "\n";
        return false;
    }
    const HostItemId camera = session.host().cameras().cameras().back();
    const ModuleRenderJob job = jobOf(o);
    ProgressBar bar("rendering " + o.output, !o.quiet);
    const ModuleRenderResult result = renderThroughModule(
        session, instance, camera, job, [&bar](int done, int total) { bar.update(done, total); });
    bar.finish();
    for (const std::string& warning : result.warnings) {
        std::cerr << "hostsim render: " << warning << "\n";
    }
    if (!result.rendered) {
        std::cerr << "hostsim render: " << result.error << "\n";
        return false;
    }
    const EvaluateThroughput alone =
        measureEvaluateRay(session, instance, job, kEvaluateTimingRays);
    if (!writePng(o.output, result.render.image.toRgbImage(), &error)) {
        std::cerr << "hostsim render: " << error << "\n";
        return false;
    }
    printStats(o, result, alone);
    printMatrix(result.preview, result.previewResult, job.frameStart);
    if (result.render.stats.failedRays > 0) {
        std::cerr << "hostsim render: evaluateRay gave no ray for "
                  << result.render.stats.failedRays << " samples (drawn black)\n";
        return false;
    }
    return result.warnings.empty();
}

// A fresh host and a fresh load of the module for each picture, so no animation or table of one
// picture leaks into the next.
int renderInSession(const std::string& modulePath, const RenderOptions& o) {
    if (o.output.empty()) {
        std::cerr << "hostsim render: no output file (-o FILE.png)\n";
        return kExitFailure;
    }
    std::string error;
    std::unique_ptr<ModuleSession> session = ModuleSession::open(modulePath, &error);
    if (session == nullptr) {
        std::cerr << "hostsim render: " << error << "\n";
        return kExitUnusable;
    }
    if (!session->handlerActive()) {
        std::cerr << "hostsim render: the camera handler did not activate ("
                  << activationResultText(session->handlerActivation().result) << ")\n";
        return kExitFailure;
    }
    const bool rendered = renderPicture(*session, o);
    const std::vector<std::string> violations = session->close();
    for (const std::string& violation : violations) {
        std::cerr << "host violation: " << violation << "\n";
    }
    return rendered && violations.empty() ? kExitOk : kExitFailure;
}

// --- Batches ------------------------------------------------------------------------------------

// Every line's options, on top of the command line's; nothing when a line is wrong (all lines
// are checked before the first picture, so a typo doesn't cost a whole batch).
std::optional<std::vector<RenderOptions>> readBatch(const std::string& path,
                                                    const RenderOptions& base) {
    std::ifstream file(path);
    if (!file) {
        std::cerr << "hostsim render: cannot read the batch file " << path << "\n";
        return std::nullopt;
    }
    std::vector<RenderOptions> pictures;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') {
            continue;
        }
        RenderOptions picture = base;
        CLI::App parser{"batch line"};
        addPictureOptions(parser, picture);
        try {
            parser.parse(line, false);
        } catch (const CLI::ParseError& e) {
            std::cerr << "hostsim render: " << path << ":" << number << ": " << e.what() << "\n";
            return std::nullopt;
        }
        if (picture.output.empty()) {
            std::cerr << "hostsim render: " << path << ":" << number << ": no -o FILE.png\n";
            return std::nullopt;
        }
        pictures.push_back(picture);
    }
    if (pictures.empty()) {
        std::cerr << "hostsim render: the batch file " << path << " names no picture\n";
        return std::nullopt;
    }
    return pictures;
}

struct RenderCommand {
    std::string modulePath;
    std::string batchPath;
    RenderOptions options;
};

int runRender(const RenderCommand& command) {
    if (command.batchPath.empty()) {
        return renderInSession(command.modulePath, command.options);
    }
    const std::optional<std::vector<RenderOptions>> pictures =
        readBatch(command.batchPath, command.options);
    if (!pictures) {
        return kExitFailure;
    }
    int worst = kExitOk;
    for (const RenderOptions& picture : *pictures) {
        const int code = renderInSession(command.modulePath, picture);
        if (code == kExitUnusable) {
            return code; // the module file itself is the problem; the rest would fail alike
        }
        worst = std::max(worst, code);
    }
    return worst;
}

} // namespace

void addRenderCommand(CLI::App& app, int* exitCode) {
    CLI::App* command = app.add_subcommand(
        "render", "Render the built-in scene through the camera module into a PNG file");
    auto state = std::make_shared<RenderCommand>();
    command->add_option("module", state->modulePath, "The module file (.p)")->required();
    command->add_option("--batch", state->batchPath,
                        "Render one picture per line of this file (each line: its options)");
    addPictureOptions(*command, state->options);
    command->callback([state, exitCode] { *exitCode = runRender(*state); });
}

} // namespace hostsim::cli
