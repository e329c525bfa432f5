#ifndef VORANDEL_PY_TABLE_INFO_H
#define VORANDEL_PY_TABLE_INFO_H

#include <cstddef>
#include <optional>
#include <string>

/// One attached turntable as discovery lists it.
struct TableInfo {
    std::optional<std::string> name;  ///< the identified model's name; none without identity record
    std::optional<size_t> row;        ///< its catalogue row; none without identity record
    bool identified = false;          ///< the table carries an identity record
    size_t index = 0;                 ///< its position in the list, as open(index=) takes it
    std::optional<std::string> serial;  ///< the chip's serial, where the plug-in tells it
};

#endif  // VORANDEL_PY_TABLE_INFO_H
