#ifndef HX_TYPES_H
#define HX_TYPES_H

#include <list>
#include <string>

/// The SDK's native text: narrow 8-bit characters. Every host-visible text uses it.
typedef std::string HxString;

/// An HxString that names a directory.
typedef HxString DirectoryPath;

/// Ordered list of turntable names offered to the user.
typedef std::list<HxString> DevicesNamesList;

#endif  // HX_TYPES_H
