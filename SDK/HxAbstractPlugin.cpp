#include "HxAbstractPlugin.h"

#include <climits>
#include <cwchar>
#include <utility>

#include "HxAbstractPluginPrivate.h"

std::mutex AbstractPluginPrivate::asyncMutex;
DirectoryPath AbstractPluginPrivate::currentProjectDirectory;

namespace {

bool isAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80) {
            return false;
        }
    }
    return true;
}

bool isAscii(const std::wstring& text) {
    for (wchar_t c : text) {
        if (c < 0 || c >= 0x80) {
            return false;
        }
    }
    return true;
}

// The converted prefix of `text`: up to its end, its first NUL, or the first
// sequence the current locale cannot convert, whichever comes first. Each
// character is converted on its own, so nothing is read or written out of bounds.
std::wstring convertPrefix(const std::string& text) {
    std::wstring result;
    std::mbstate_t state{};
    const char* cursor = text.data();
    size_t left = text.size();
    while (left > 0) {
        wchar_t wide = 0;
        const size_t used = std::mbrtowc(&wide, cursor, left, &state);
        if (used == 0 || used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
            break;
        }
        result.push_back(wide);
        cursor += used;
        left -= used;
    }
    return result;
}

std::string convertPrefix(const std::wstring& text) {
    std::string result;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (wchar_t wide : text) {
        if (wide == L'\0') {
            break;
        }
        const size_t produced = std::wcrtomb(buffer, wide, &state);
        if (produced == static_cast<size_t>(-1)) {
            break;
        }
        result.append(buffer, produced);
    }
    return result;
}

}  // namespace

HxAbstractPlugin::HxAbstractPlugin() : m_PImpl(new AbstractPluginPrivate) {}

HxAbstractPlugin::~HxAbstractPlugin() {
    delete m_PImpl;
}

void HxAbstractPlugin::pluginDidInitialized() {}
void HxAbstractPlugin::pluginWillClose() {}
void HxAbstractPlugin::applicationDidBecomeActive() {}
void HxAbstractPlugin::applicationDidEnterBackground() {}
void HxAbstractPlugin::projectDirectoryWasChanged() const {}

void HxAbstractPlugin::setLastError(HxString errorString) {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    m_PImpl->lastError = std::move(errorString);
}

HxString HxAbstractPlugin::lastError() const {
    std::lock_guard<std::mutex> lock(AbstractPluginPrivate::asyncMutex);
    return m_PImpl->lastError;
}

// ASCII text keeps its length: characters after an embedded NUL come back as
// NULs, as a fixed-length conversion gives them. Other text converts whole;
// its length is that of the converted characters.
std::wstring HxAbstractPlugin::utf8ToWideString(const std::string& utf8String) {
    std::wstring converted = convertPrefix(utf8String);
    if (isAscii(utf8String)) {
        converted.resize(utf8String.size(), L'\0');
    }
    return converted;
}

std::wstring HxAbstractPlugin::nativeToWideString(const HxString& nativeString) {
    return utf8ToWideString(nativeString);
}

std::string HxAbstractPlugin::wideToUtf8String(const std::wstring& wideString) {
    std::string converted = convertPrefix(wideString);
    if (isAscii(wideString)) {
        converted.resize(wideString.size(), '\0');
    }
    return converted;
}

HxString HxAbstractPlugin::wideToNativeString(const std::wstring& wideString) {
    return wideToUtf8String(wideString);
}

DirectoryPath HxAbstractPlugin::applicationLocalDataDirectory() {
    return DirectoryPath();
}

char HxAbstractPlugin::pathSeparator() {
    return '/';
}
