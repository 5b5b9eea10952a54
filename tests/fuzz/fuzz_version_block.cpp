// Arbitrary bytes as a program file: the version-block reader must never read outside them, loop or
// crash, and what it returns is a part of the input.
#include "platform/posix/version_reader.hpp"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto block = om::platform::posix::read_version_block({data, size});
    if (block.size() > size)
        std::abort();
    return 0;
}
