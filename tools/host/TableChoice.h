#ifndef TT_HOST_TABLE_CHOICE_H
#define TT_HOST_TABLE_CHOICE_H

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "HxVorandelTurntableControl.h"

/// Which of the attached turntables a host works with: the one at a list
/// position, the one with a serial number, or by default the one the
/// plug-in's own discovery would take (the first identified turntable, else
/// the first that opens, else the first). Each program words the faults in
/// its own terms (a command-line option, a keyword argument).
class TableChoice {
public:
    using Attached = HxVorandelTurntableControl::AttachedTurntable;

    enum class Outcome {
        Chosen,          ///< table() can be discovered and opened
        NoneAttached,    ///< the list is empty
        NoSuchPosition,  ///< no table at the position asked for
        NoSuchSerial,    ///< no table with the serial asked for
        NotOpenable,     ///< table() is the one asked for, but cannot be opened
    };

    /// Chooses from `tables` (attachedTurntables()) by `position`, else by
    /// `serial`, else by default.
    static TableChoice choose(std::vector<Attached> tables, std::optional<size_t> position,
                              const std::optional<std::string>& serial);

    Outcome outcome() const { return m_outcome; }
    /// The chosen table; only for Chosen and NotOpenable.
    const Attached& table() const { return m_tables[m_chosen]; }
    /// Every attached table, in list order.
    const std::vector<Attached>& tables() const { return m_tables; }

private:
    TableChoice(std::vector<Attached> tables, Outcome outcome, size_t chosen)
        : m_tables(std::move(tables)), m_outcome(outcome), m_chosen(chosen) {}

    std::vector<Attached> m_tables;
    Outcome m_outcome;
    size_t m_chosen;
};

#endif  // TT_HOST_TABLE_CHOICE_H
