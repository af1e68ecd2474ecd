#ifndef TESSIT_TESTS_SUPPORT_CROSSBUILTPROGRAMS_H
#define TESSIT_TESTS_SUPPORT_CROSSBUILTPROGRAMS_H

// Whether the cross-built stand-in launchers (tiny-pe32.exe, tiny-pe32plus.exe)
// were built beside the test program. The build tells a test that packs them
// why they are missing, if they are: empty when they were built.
namespace Tessit {

constexpr const char* crossBuiltProgramsSkipped = TESSIT_CROSS_BUILT_PROGRAMS_SKIPPED;
constexpr bool crossBuiltProgramsBuilt = *crossBuiltProgramsSkipped == '\0';

// Whether the signed packages made of them (signed/<program>-<variant>.exe,
// see tests/package/make-signed-packages.sh) were built; empty when they were.
constexpr const char* signedPackagesSkipped = TESSIT_SIGNED_PACKAGES_SKIPPED;
constexpr bool signedPackagesBuilt = *signedPackagesSkipped == '\0';

} // namespace Tessit

#endif
