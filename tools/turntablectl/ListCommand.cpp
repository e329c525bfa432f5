#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "ExitCodes.h"

namespace {

int runList(CommandContext& context, bool json) {
    const HostSession::Discovery discovery = context.session().discover();

    if (json) {
        nlohmann::json out;
        out["found"] = discovery.found();
        out["identified"] = discovery.identified();
        out["backend"] = context.backendName();
        out["models"] = nlohmann::json::array();
        size_t row = 0;
        for (const HxString& name : discovery.names) {
            // An identified turntable lists only its own model's name.
            const std::optional<size_t> model = context.catalogue().rowOf(name);
            const size_t modelRow = discovery.identified() && model ? *model : row;
            out["models"].push_back({{"row", modelRow}, {"label", name}});
            ++row;
        }
        if (!discovery.found()) {
            out["error"] = discovery.error;
        }
        std::printf("%s\n", out.dump(2).c_str());
        return discovery.found() ? EXIT_OK : EXIT_NO_TURNTABLE;
    }

    if (!discovery.found()) {
        std::fprintf(stderr, "%s", discovery.error.c_str());
        return EXIT_NO_TURNTABLE;
    }
    if (discovery.identified()) {
        std::printf("%s\n", discovery.names.front().c_str());
        return EXIT_OK;
    }
    std::printf(
        "A turntable without an identity record is attached; choose its model with "
        "--model ROW:\n");
    size_t row = 0;
    for (const HxString& name : discovery.names) {
        std::printf("%3zu  %s\n", row++, name.c_str());
    }
    return EXIT_OK;
}

}  // namespace

void addListCommand(CLI::App& app, CommandSet& commands) {
    const auto json = std::make_shared<bool>(false);
    CLI::App* list = commands.add(app, "list", "Discover the attached turntable",
                                  [json](CommandContext& context) { return runList(context, *json); });
    list->add_flag("--json", *json, "Answer in JSON");
}
