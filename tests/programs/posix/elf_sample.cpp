// Compiled to an object file only: a small ELF file whose ".om_version" section carries a version block,
// for the version reader's tests (64-bit as compiled, 32-bit after conversion) and the fuzzer's seeds.
#include "platform/posix/version_block.hpp"

OM_EMBED_VERSION_BLOCK(2, 1, 0, 300);
