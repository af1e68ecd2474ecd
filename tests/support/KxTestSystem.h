#ifndef TESSIT_TESTS_KXTESTSYSTEM_H
#define TESSIT_TESTS_KXTESTSYSTEM_H

namespace Kavo {

// Whether the tests run under Wine, whose file system differs from Windows'
// where a test says so.
bool runsUnderWine();

} // namespace Kavo

#endif
