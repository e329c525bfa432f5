#ifndef HX_ABSTRACT_PLUGIN_H
#define HX_ABSTRACT_PLUGIN_H

#include <string>

#include "HxExport.h"
#include "HxTypes.h"

struct AbstractPluginPrivate;

/// Root of every plug-in: the last error text, the host's lifecycle
/// notifications and text conversions between narrow and wide strings.
class HX_EXPORT HxAbstractPlugin {
public:
    HxAbstractPlugin();
    virtual ~HxAbstractPlugin();

    HxAbstractPlugin(const HxAbstractPlugin&) = delete;
    HxAbstractPlugin& operator=(const HxAbstractPlugin&) = delete;

    /// Lifecycle notifications from the host; the base bodies do nothing.
    virtual void pluginDidInitialized();
    virtual void pluginWillClose();
    virtual void applicationDidBecomeActive();
    virtual void applicationDidEnterBackground();
    virtual void projectDirectoryWasChanged() const;

    /// Replaces this plug-in's last error text. Safe from any thread.
    void setLastError(HxString errorString);
    /// A copy of this plug-in's last error text. Safe from any thread.
    HxString lastError() const;

    /// Narrow (current locale) to wide text. ASCII converts character for
    /// character, keeping the input's length; other text converts whole, and
    /// an invalid sequence ends the result where it starts.
    static std::wstring utf8ToWideString(const std::string& utf8String);
    /// Same as utf8ToWideString.
    static std::wstring nativeToWideString(const HxString& nativeString);
    /// Wide to narrow (current locale) text; the counterpart of utf8ToWideString.
    static std::string wideToUtf8String(const std::wstring& wideString);
    /// Same as wideToUtf8String.
    static HxString wideToNativeString(const std::wstring& wideString);

    /// Always empty: the plug-in keeps no files.
    static DirectoryPath applicationLocalDataDirectory();
    /// '/'.
    static char pathSeparator();

private:
    AbstractPluginPrivate* m_PImpl;
};

#endif  // HX_ABSTRACT_PLUGIN_H
