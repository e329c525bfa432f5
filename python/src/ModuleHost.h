#ifndef VORANDEL_PY_MODULE_HOST_H
#define VORANDEL_PY_MODULE_HOST_H

#include <memory>
#include <optional>
#include <string>

#include "HostSession.h"
#include "LoadedPlugin.h"
#include "TableInfo.h"

/// The plug-in as this Python process holds it: loaded once, by the first
/// call that needs it, on the D2XX library chosen then, with one host session
/// over it whose callback slots stay assigned until shutdown(). The callback
/// slots are process-wide, so one table is open at a time. Every member is
/// called with the GIL held, which serialises them.
class ModuleHost {
public:
    /// The process's host, loaded now if it is not yet: on `d2xx` ("simulator",
    /// "libftdi1" or a path), else on VORANDEL_TURNTABLE_D2XX, else on the
    /// libftd2xx.so the loader finds, the simulator installed with the package
    /// where there is none. Throws TurntableError when loading fails or when
    /// `d2xx` names another library than the one already in use.
    /// Tables hold it as shared, so that it outlives shutdown() while they do.
    static std::shared_ptr<ModuleHost> get(const std::optional<std::string>& d2xx);
    /// At the interpreter's exit: stops and closes an open table, and lets the
    /// plug-in go once no table holds it; get() loads it again.
    static void shutdown();

    TurntablePlugin& plugin() { return m_loaded->plugin(); }
    HostSession& session() { return *m_session; }
    /// "simulator", "libftdi1" or "vendor library".
    std::string d2xxName() const;

    /// Marks `table` as the one open table.
    void claimTable(const TableInfo& table);
    void releaseTable() { m_openTable.reset(); }
    bool tableClaimed() const { return m_openTable.has_value(); }
    const TableInfo& openTableInfo() const { return *m_openTable; }

private:
    ModuleHost(std::string choice, std::unique_ptr<LoadedPlugin> loaded);

    std::string m_choice;
    std::unique_ptr<LoadedPlugin> m_loaded;
    std::unique_ptr<HostSession> m_session;
    std::optional<TableInfo> m_openTable;
};

#endif  // VORANDEL_PY_MODULE_HOST_H
