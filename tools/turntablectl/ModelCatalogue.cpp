#include "ModelCatalogue.h"

#include "CommandFailure.h"

ModelCatalogue::ModelCatalogue(const DevicesNamesList& labels)
    : m_labels(labels.begin(), labels.end()) {}

std::optional<std::string> ModelCatalogue::label(long long row) const {
    if (row < 0 || static_cast<unsigned long long>(row) >= m_labels.size()) {
        return std::nullopt;
    }
    return m_labels[size_t(row)];
}

std::optional<size_t> ModelCatalogue::rowOf(const std::string& label) const {
    for (size_t row = 0; row < m_labels.size(); ++row) {
        if (m_labels[row] == label) {
            return row;
        }
    }
    return std::nullopt;
}

void ModelCatalogue::requireRow(const std::string& what, long long row) const {
    if (!label(row)) {
        throw CommandFailure(EXIT_ROW_OUT_OF_RANGE,
                             what + " " + std::to_string(row) +
                                 " is not a model row: the catalogue has rows 0 to " +
                                 std::to_string(long(m_labels.size()) - 1));
    }
}
