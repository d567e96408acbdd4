// libtlxdev prints the names of its load and unload hooks on standard
// output ("test_init/n", "test_fini/n"). tlxctl's standard output is its
// result, parsed by scripts (--json), so the hooks' words are sent to
// /dev/null: before the library is initialised (an entry in the program's
// .preinit_array, which runs before any library's constructors) and again
// once tlxctl has written everything (before the library's destructors).
#ifndef TLXCTL_QUIET_HOOKS_H
#define TLXCTL_QUIET_HOOKS_H

namespace tlxctl {

// Gives tlxctl its standard output back and arranges for the unload hook to
// go to /dev/null at exit. Called first thing in main.
void TakeBackStdout();

}  // namespace tlxctl

#endif
