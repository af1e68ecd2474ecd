#ifndef TESSIT_TESTS_CROSSBUILTPROGRAMS_H
#define TESSIT_TESTS_CROSSBUILTPROGRAMS_H

// Whether the cross-built stand-in launchers (tiny-pe32.exe, tiny-pe32plus.exe)
// were built beside the test program. The build tells a test that packs them
// why they are missing, if they are: empty when they were built.
namespace Tessit {

constexpr const char* crossBuiltProgramsSkipped = TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED;
constexpr bool crossBuiltProgramsBuilt = *crossBuiltProgramsSkipped == '\0';

} // namespace Tessit

#endif
