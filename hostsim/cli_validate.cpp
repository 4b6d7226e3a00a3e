// `hostsim validate MODULE`: checks a module file the way audio plug-in validators check theirs.
// Each check group (see validate_groups.h) runs in a child process, this program started again
// with the hidden `--group NAME` option, so a module that crashes fails its group instead of
// ending the validation. One line per check, "PASS name" or "FAIL name: reason", then
// "N passed, M failed"; the exit code is non-zero when any check failed.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "hostsim/cli_commands.h"
#include "hostsim/validate_driver.h"
#include "hostsim/validate_groups.h"
#include "hostsim/validate_process.h"

namespace hostsim::cli {

namespace {

// The last line of a child's report: the child got to the end of its group.
constexpr const char* kGroupEnd = "END OF GROUP";

struct ValidateOptions {
    std::string modulePath;
    std::uint32_t seed = 1;
    std::string group;  // hidden: run this group here, as the child
    std::string report; // hidden: where the child writes its lines
};

// The child: runs one group and writes its lines into the report file.
int runGroupHere(const ValidateOptions& options) {
    validate::Report report;
    std::ofstream out(options.report, std::ios::trunc);
    if (!validate::runGroup(options.group, options.modulePath, options.seed, &report)) {
        std::cerr << "hostsim validate: no check group \"" << options.group << "\"\n";
        return kExitUnusable;
    }
    for (const validate::CheckResult& result : report.results()) {
        out << validate::resultLine(result) << "\n";
    }
    out << kGroupEnd << "\n";
    return out.good() ? kExitOk : kExitFailure;
}

// The parent: one child per group; a child that crashed or stopped early fails its group.
std::vector<validate::CheckResult>
runGroupInChild(const ValidateOptions& options, const std::string& self, const std::string& group) {
    const std::string reportPath = validate::scratchPath("report-" + group + ".txt");
    std::remove(reportPath.c_str());
    std::string problem;
    const int exitCode =
        validate::runChildProcess(self,
                                  {"validate", "--group", group, "--report", reportPath, "--seed",
                                   std::to_string(options.seed), options.modulePath},
                                  &problem);
    std::vector<validate::CheckResult> results;
    bool ended = false;
    std::ifstream in(reportPath);
    for (std::string line; std::getline(in, line);) {
        validate::CheckResult result;
        if (line == kGroupEnd) {
            ended = true;
        } else if (validate::parseResultLine(line, &result)) {
            results.push_back(result);
        }
    }
    in.close();
    std::remove(reportPath.c_str());
    if (!ended || exitCode != 0) {
        std::string why = exitCode < 0 ? "crashed" : "exit code " + std::to_string(exitCode);
        if (!problem.empty()) {
            why += " (" + problem + ")";
        }
        const std::string after = results.empty() ? "" : ", after \"" + results.back().name + "\"";
        results.push_back(
            validate::CheckResult{group + " group", false, "the child process " + why + after});
    }
    return results;
}

int runValidate(const ValidateOptions& options, const std::string& self) {
    if (!options.group.empty()) {
        return runGroupHere(options);
    }
    int passed = 0;
    int failed = 0;
    for (const std::string& group : validate::groupNames()) {
        for (const validate::CheckResult& result : runGroupInChild(options, self, group)) {
            std::cout << validate::resultLine(result) << "\n" << std::flush;
            (result.passed ? passed : failed) += 1;
        }
    }
    std::cout << passed << " passed, " << failed << " failed" << std::endl;
    return failed == 0 ? kExitOk : kExitFailure;
}

} // namespace

void addValidateCommand(CLI::App& app, int* exitCode) {
    auto options = std::make_shared<ValidateOptions>();
    CLI::App* command = app.add_subcommand(
        "validate", "Check a module file: activation, every callback, and a stress run with "
                    "hostile values, each group in a child process");
    command->add_option("module", options->modulePath, "The module file (.p)")->required();
    command->add_option("--seed", options->seed, "Seed of the stress group's random session");
    command->add_option("--group", options->group)->group("");
    command->add_option("--report", options->report)->group("");
    const std::string self = validate::ownExecutablePath("hostsim");
    command->callback([options, exitCode, self] { *exitCode = runValidate(*options, self); });
}

} // namespace hostsim::cli
