#ifndef KAVO_KXPATH_H
#define KAVO_KXPATH_H

#include "KxFoundation/KxString.h"

namespace Kavo {

// Path helpers. The string functions take '/' and '\' alike as separators;
// folder creation splits levels at '\' only. Nothing here joins paths, folds
// case, collapses separators or resolves dot levels.

// The text after the last '.', or empty when there is none or it ends the
// name. The search does not stop at separators.
KxString fileExtension(const KxString& name);

// The last component; for a path ending in a separator, the one before it.
KxString lastPathComponent(const KxString& path);

// Drops one final separator, unless it is the only character.
void removeTrailingSeparator(KxString& path);

// Leaves the folder part. A name without any separator stays unchanged; a
// path ending in separators names a folder and loses only them.
void removeLastPathComponent(KxString& path);

// Creates every missing level of `path`; true when the whole path exists at
// the end. Levels created before a failure stay.
bool createDirectories(const KxString& path);

// True when the status query succeeds: files and folders alike.
bool fileExists(const KxString& path);

// The full path of the running executable.
KxString modulePath();

// Creates one folder whose parent exists, for its owner alone where the
// system has owners.
bool createDirectory(const KxString& path);

} // namespace Kavo

#endif
