#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "CommandFailure.h"
#include "Commands.h"
#include "ExitCodes.h"

namespace {

using Table = HxVorandelTurntableControl::AttachedTurntable;

// One attached table as a person reads it in the list of several.
std::string describe(const Table& table, const ModelCatalogue& catalogue) {
    if (!table.openable) {
        return "cannot be opened: " + table.problem + " (its model is unknown)";
    }
    if (table.catalogueRow == -1) {
        return "no identity record: name its model with --model ROW";
    }
    return catalogue.label(table.catalogueRow).value_or("?") + " (row " +
           std::to_string(table.catalogueRow) + ", identified)";
}

nlohmann::json tableJson(const Table& table, const ModelCatalogue& catalogue) {
    const bool identified = table.openable && table.catalogueRow != -1;
    return {{"position", table.position},
            {"serial", table.serial},
            {"description", table.description},
            {"identified", identified},
            {"row", identified ? nlohmann::json(table.catalogueRow) : nlohmann::json(nullptr)},
            {"label", identified ? nlohmann::json(*catalogue.label(table.catalogueRow))
                                 : nlohmann::json(nullptr)},
            {"openable", table.openable},
            {"problem", table.openable ? nlohmann::json(nullptr) : nlohmann::json(table.problem)}};
}

int runList(CommandContext& context, bool json) {
    const std::vector<Table> tables = context.attachedTurntables();
    const bool chosenByOption = context.options().table || context.options().serial;
    const bool overview = tables.size() > 1 && !chosenByOption;

    nlohmann::json out;
    out["backend"] = context.backendName();
    out["tables"] = nlohmann::json::array();
    for (const Table& table : tables) {
        out["tables"].push_back(tableJson(table, context.catalogue()));
    }

    HostSession::Discovery discovery;
    int code = EXIT_OK;
    if (tables.empty()) {
        discovery = context.session().discover();
        discovery.error = context.noTurntableText(discovery.error);
        code = EXIT_NO_TURNTABLE;
    } else if (!overview) {
        try {
            discovery = context.discoverOrFail();
        } catch (const CommandFailure& failure) {
            if (!json) {
                throw;
            }
            discovery.error = failure.what();
            code = failure.code();
        }
    }

    if (json) {
        out["found"] = !tables.empty();
        out["identified"] = discovery.identified();
        out["position"] = overview || !discovery.found()
                              ? nlohmann::json(nullptr)
                              : nlohmann::json(context.chosen().position);
        out["models"] = nlohmann::json::array();
        size_t row = 0;
        for (const HxString& name : discovery.names) {
            // An identified turntable lists only its own model's name.
            const std::optional<size_t> model = context.catalogue().rowOf(name);
            const size_t modelRow = discovery.identified() && model ? *model : row;
            out["models"].push_back({{"row", modelRow}, {"label", name}});
            ++row;
        }
        if (!discovery.error.empty()) {
            out["error"] = discovery.error;
        }
        std::printf("%s\n", out.dump(2).c_str());
        return code;
    }

    if (tables.empty()) {
        std::fprintf(stderr, "%s", discovery.error.c_str());
        return code;
    }
    if (overview) {
        std::printf(
            "%zu turntables attached; choose one with --table POSITION or --serial "
            "SERIAL (default: the first identified one):\n",
            tables.size());
        for (const Table& table : tables) {
            std::printf("%3zu  %-16s %s\n", table.position, table.serial.c_str(),
                        describe(table, context.catalogue()).c_str());
        }
        return EXIT_OK;
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
    CLI::App* list =
        commands.add(app, "list", "Discover the attached turntables",
                     [json](CommandContext& context) { return runList(context, *json); });
    list->add_flag("--json", *json, "Answer in JSON");
}
