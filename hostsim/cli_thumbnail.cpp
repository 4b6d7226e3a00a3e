// `hostsim thumbnail MODULE --tilt-angle DEG --tilt-direction DEG -o FILE.png`: opens the
// settings panel of a new camera, enters the tilt as a user would, and saves the panel's tilt
// drawing and its focal-length read-out (printed, and written to FILE.txt).
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <string>

#include "hostsim/cli_commands.h"
#include "hostsim/module_session.h"

namespace hostsim::cli {

namespace {

// The panel's controls, by the ids the module gives them.
constexpr std::uint32_t kFocalLengthControl = 0x8002;
constexpr std::uint32_t kTiltDirectionControl = 0x8005;
constexpr std::uint32_t kTiltAngleControl = 0x8006;
constexpr std::uint32_t kThumbnailControl = 0x8007;

struct ThumbnailOptions {
    std::string modulePath;
    double tiltAngleDegrees = 0.0;
    double tiltDirectionDegrees = 0.0;
    double filmWidth = 0.036; // metres, a 36 x 24 mm frame
    double filmHeight = 0.024;
    std::string output;
};

// The panel keeps an angle control within the limits its hints give (in degrees), as the
// host's panel does with what the user types.
double withinLimits(XPanelService& panels, XPanel panel, std::uint32_t id, double degrees,
                    const char* name) {
    const PanelLimits limits = panels.limits(panel, id);
    double kept = degrees;
    if (limits.minimum && kept < *limits.minimum) {
        kept = *limits.minimum;
    }
    if (limits.maximum && kept > *limits.maximum) {
        kept = *limits.maximum;
    }
    if (kept != degrees) {
        std::cerr << "hostsim thumbnail: " << name << " " << degrees
                  << " is outside the panel's limits; the panel keeps " << kept << "\n";
    }
    return kept;
}

bool enterAngle(XPanelService& panels, XPanel panel, std::uint32_t id, double degrees,
                const char* name) {
    const double kept = withinLimits(panels, panel, id, degrees, name);
    const std::optional<int> stored =
        panels.writeControl(panel, id, kept * std::numbers::pi / 180.0);
    if (!stored || *stored != 1) {
        std::cerr << "hostsim thumbnail: the panel did not take the " << name << "\n";
        return false;
    }
    return true;
}

bool writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary);
    file << text << "\n";
    file.close();
    return static_cast<bool>(file);
}

// Everything up to the saved files; false after printing why not.
bool drawThumbnail(ModuleSession& session, const ThumbnailOptions& options) {
    std::string error;
    if (!session.handlerActive()) {
        std::cerr << "hostsim thumbnail: the camera handler did not activate ("
                  << activationResultText(session.handlerActivation().result) << ")\n";
        return false;
    }
    HostInstance instance = session.createInstance(&error);
    if (instance == nullptr) {
        std::cerr << "hostsim thumbnail: no camera instance: " << error << "\n";
        return false;
    }
    session.preview(instance, options.filmWidth, options.filmHeight);
    const OpenedPanel opened = session.openPanel(instance);
    if (opened.panel == nullptr) {
        std::cerr << "hostsim thumbnail: the settings panel did not open ("
                  << (opened.activation.called ? activationResultText(opened.activation.result)
                                               : opened.activation.error)
                  << ")\n";
        return false;
    }
    XPanelService& panels = session.panels();
    if (!enterAngle(panels, opened.panel, kTiltDirectionControl, options.tiltDirectionDegrees,
                    "tilt direction") ||
        !enterAngle(panels, opened.panel, kTiltAngleControl, options.tiltAngleDegrees,
                    "tilt angle")) {
        return false;
    }
    const std::optional<RgbImage> image = panels.drawControl(opened.panel, kThumbnailControl);
    if (!image) {
        std::cerr << "hostsim thumbnail: the panel has no tilt drawing\n";
        return false;
    }
    if (!writePng(options.output, *image, &error)) {
        std::cerr << "hostsim thumbnail: " << error << "\n";
        return false;
    }
    const std::optional<std::string> readout =
        panels.readControlText(opened.panel, kFocalLengthControl);
    if (!readout) {
        std::cerr << "hostsim thumbnail: the panel shows no focal-length read-out\n";
        return false;
    }
    std::cout << *readout << "\n";
    const std::filesystem::path textPath =
        std::filesystem::path(options.output).replace_extension(".txt");
    if (!writeText(textPath, *readout)) {
        std::cerr << "hostsim thumbnail: cannot write " << textPath.string() << "\n";
        return false;
    }
    return true;
}

int runThumbnail(const ThumbnailOptions& options) {
    std::string error;
    std::unique_ptr<ModuleSession> session = ModuleSession::open(options.modulePath, &error);
    if (session == nullptr) {
        std::cerr << "hostsim thumbnail: " << error << "\n";
        return kExitUnusable;
    }
    const bool drawn = drawThumbnail(*session, options);
    const std::vector<std::string> violations = session->close();
    for (const std::string& violation : violations) {
        std::cerr << "host violation: " << violation << "\n";
    }
    return drawn && violations.empty() ? kExitOk : kExitFailure;
}

} // namespace

void addThumbnailCommand(CLI::App& app, int* exitCode) {
    CLI::App* command = app.add_subcommand(
        "thumbnail", "Draw the settings panel's tilt thumbnail of a new camera into a PNG file");
    auto options = std::make_shared<ThumbnailOptions>();
    const auto finite = CLI::Validator(
        [](std::string& text) {
            double value = 0.0;
            return CLI::detail::lexical_cast(text, value) && std::isfinite(value)
                       ? std::string{}
                       : "not a finite number: " + text;
        },
        "NUMBER");
    command->add_option("module", options->modulePath, "The module file (.p)")->required();
    command->add_option("--tilt-angle", options->tiltAngleDegrees, "Tilt angle in degrees")
        ->check(finite);
    command
        ->add_option("--tilt-direction", options->tiltDirectionDegrees, "Tilt direction in degrees")
        ->check(finite);
    command->add_option("--film-width", options->filmWidth, "Film width in metres")->check(finite);
    command->add_option("--film-height", options->filmHeight, "Film height in metres")
        ->check(finite);
    command->add_option("-o,--output", options->output, "The PNG file to write")->required();
    command->callback([options, exitCode] { *exitCode = runThumbnail(*options); });
}

} // namespace hostsim::cli
