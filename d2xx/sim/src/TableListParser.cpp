#include "ftsim/TableListParser.h"

#include <cctype>
#include <set>
#include <stdexcept>

#include "TableCatalogue.h"
#include "ftsim_c.h"

namespace ftsim {

static_assert(FTSIM_MAX_FAIL_OPEN_STATUS == FT_OTHER_ERROR, "fail-open= takes every failing status");

namespace {

/// A fault in the text; its message says what is wrong.
struct BadText : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\n");
    if (first == std::string::npos)
        return "";
    return text.substr(first, text.find_last_not_of(" \t\n") - first + 1);
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
        pieces.push_back(trimmed(text.substr(from, at - from)));
    pieces.push_back(trimmed(text.substr(from)));
    return pieces;
}

bool allDigits(const std::string& text) {
    if (text.empty())
        return false;
    for (const char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

/// `value` as a whole number within [low, high].
unsigned long long number(const std::string& key, const std::string& value,
                          unsigned long long low, unsigned long long high) {
    const std::string range = std::to_string(low) + " to " + std::to_string(high);
    // More than 12 digits is out of every range here, and would overflow.
    if (!allDigits(value) || value.size() > 12)
        throw BadText(key + "=" + value + " is not a whole number from " + range);
    const unsigned long long n = std::stoull(value);
    if (n < low || n > high)
        throw BadText(key + "=" + value + " is outside " + range);
    return n;
}

std::size_t modelRow(const std::string& model) {
    if (allDigits(model)) {
        if (model.size() > 2 || std::stoul(model) >= TableCatalogue::ROW_COUNT)
            throw BadText("row " + model + " is not in the catalogue (rows 0 to " +
                          std::to_string(TableCatalogue::ROW_COUNT - 1) + ")");
        return std::stoul(model);
    }
    const std::optional<std::size_t> row = TableCatalogue::rowNamed(model);
    if (!row)
        throw BadText("no model is named \"" + model +
                      "\": give a catalogue row 0 to 9 or a name such as \"Cobalt Medium\"");
    return *row;
}

TableSetup modelTable(std::size_t row) {
    const CatalogueModel model = TableCatalogue::model(row);
    TableSetup table;
    table.row = row;
    table.label = model.label;
    table.dcBoard = model.dcBoard;
    if (model.dcBoard) {
        table.countNanoseconds = TableCatalogue::DEFAULT_DC_COUNT_NS;
    } else {
        table.stepsPerRevolution = model.countsPerRevolution;
        table.enableActiveHigh = model.enableActiveHigh;
        table.clockwiseActiveHigh = model.clockwiseActiveHigh;
    }
    return table;
}

void applySetting(TableSetup& table, const std::string& setting, std::set<std::string>& given) {
    const std::size_t equals = setting.find('=');
    const std::string key = trimmed(setting.substr(0, equals));
    const std::string value = equals == std::string::npos ? "" : trimmed(setting.substr(equals + 1));
    const bool hasValue = equals != std::string::npos;
    if (!given.insert(key).second)
        throw BadText(key + " is given twice");

    if (key == "unidentified") {
        if (hasValue)
            throw BadText("unidentified takes no value");
        table.identified = false;
        return;
    }
    if (key != "counts" && key != "count-time" && key != "usb-latency" && key != "byte-clock" &&
        key != "fail-open" && key != "trace")
        throw BadText("unknown setting \"" + setting +
                      "\" (known: unidentified, counts=, count-time=, usb-latency=, byte-clock=, "
                      "fail-open=, trace=)");
    if (!hasValue || value.empty())
        throw BadText(key + " needs a value (" + key + "=...)");

    if (key == "counts") {
        if (table.dcBoard)
            throw BadText("counts applies to stepper tables; the Classic's counter turns " +
                          std::to_string(TableCatalogue::dcCountsPerRevolution()) +
                          " counts a revolution");
        table.stepsPerRevolution = unsigned(number(key, value, 1, FTSIM_MAX_COUNTS));
    } else if (key == "count-time") {
        if (!table.dcBoard)
            throw BadText("count-time applies to the Classic's DC motor only");
        table.countNanoseconds = std::int64_t(number(key, value, 1, FTSIM_MAX_COUNT_TIME_MS)) * 1000000;
    } else if (key == "usb-latency") {
        table.usbLatencyMicroseconds = unsigned(number(key, value, 0, FTSIM_MAX_USB_LATENCY_US));
    } else if (key == "byte-clock") {
        table.byteClockMultiple = unsigned(number(key, value, 1, FTSIM_MAX_BYTE_CLOCK));
    } else if (key == "fail-open") {
        table.failOpenStatus = FT_STATUS(number(key, value, FT_INVALID_HANDLE, FT_OTHER_ERROR));
    } else {
        table.tracePath = value;
    }
}

TableSetup parseTable(const std::string& text) {
    const std::vector<std::string> pieces = split(text, ',');
    TableSetup table = modelTable(modelRow(pieces.front()));
    std::set<std::string> given;
    for (std::size_t i = 1; i < pieces.size(); ++i) {
        if (pieces[i].empty())
            throw BadText("a setting is empty (two ',' in a row, or one at the end)");
        applySetting(table, pieces[i], given);
    }
    return table;
}

}  // namespace

TableListParser::Result TableListParser::parse(const std::string& text) {
    Result result;
    if (trimmed(text).empty())
        return result;
    const std::vector<std::string> tables = split(text, ';');
    for (std::size_t i = 0; i < tables.size(); ++i) {
        const std::string where = "table " + std::to_string(i + 1);
        if (tables[i].empty()) {
            result.tables.clear();
            result.error = where + " is empty (two ';' in a row, or one at the end)";
            return result;
        }
        try {
            result.tables.push_back(parseTable(tables[i]));
        } catch (const BadText& fault) {
            result.tables.clear();
            result.error = where + " (\"" + tables[i] + "\"): " + fault.what();
            return result;
        }
    }
    return result;
}

}  // namespace ftsim
