#include "TableChoice.h"

#include <utility>

TableChoice TableChoice::choose(std::vector<Attached> tables, std::optional<size_t> position,
                                const std::optional<std::string>& serial) {
    if (tables.empty()) {
        return TableChoice(std::move(tables), Outcome::NoneAttached, 0);
    }
    size_t chosen = tables.size();
    if (position) {
        if (*position >= tables.size()) {
            return TableChoice(std::move(tables), Outcome::NoSuchPosition, 0);
        }
        chosen = *position;
    } else if (serial) {
        for (size_t at = 0; at < tables.size() && chosen == tables.size(); ++at) {
            if (tables[at].serial == *serial) {
                chosen = at;
            }
        }
        if (chosen == tables.size()) {
            return TableChoice(std::move(tables), Outcome::NoSuchSerial, 0);
        }
    } else {
        // As the plug-in's own discovery chooses.
        for (size_t at = 0; at < tables.size() && chosen == tables.size(); ++at) {
            if (tables[at].openable && tables[at].catalogueRow != -1) {
                chosen = at;
            }
        }
        for (size_t at = 0; at < tables.size() && chosen == tables.size(); ++at) {
            if (tables[at].openable) {
                chosen = at;
            }
        }
        if (chosen == tables.size()) {
            chosen = 0;
        }
    }
    const Outcome outcome = tables[chosen].openable ? Outcome::Chosen : Outcome::NotOpenable;
    return TableChoice(std::move(tables), outcome, chosen);
}
