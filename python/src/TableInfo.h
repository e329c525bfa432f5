#ifndef VORANDEL_PY_TABLE_INFO_H
#define VORANDEL_PY_TABLE_INFO_H

#include <cstddef>
#include <optional>
#include <string>

/// One attached turntable as tables() lists it.
struct TableInfo {
    std::optional<std::string> name;  ///< the identified model's name; none without identity record
    std::optional<size_t> row;        ///< its catalogue row; none without identity record
    bool identified = false;          ///< it carries an identity record that names a model
    size_t index = 0;                 ///< its position in the list, as open(index=) takes it
    std::string serial;               ///< the chip's USB serial number, as open(serial=) takes it
    std::string description;          ///< the chip's USB description
    bool openable = false;            ///< it can be opened now
    std::optional<std::string> problem;  ///< when it cannot be opened: why
};

#endif  // VORANDEL_PY_TABLE_INFO_H
