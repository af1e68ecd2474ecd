#ifndef TESSIT_PLATFORM_WINDOWS_WIN32RESOURCES_H
#define TESSIT_PLATFORM_WINDOWS_WIN32RESOURCES_H

// Resource ids shared by the program's resource script and the code that
// loads them (plain macros: the resource compiler reads this file too).
#define TESSIT_IDD_PROGRESS 102
#define TESSIT_IDI_APPLICATION 128

#endif
