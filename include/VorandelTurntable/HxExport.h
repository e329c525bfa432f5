#ifndef HX_EXPORT_H
#define HX_EXPORT_H

// Marks what the plug-in library exports: the host's view and nothing else.
// Everything else is built with hidden visibility.
#define HX_EXPORT __attribute__((visibility("default")))
/// A member of an exported class that stays out of the host's view.
#define HX_HIDDEN __attribute__((visibility("hidden")))

#endif  // HX_EXPORT_H
