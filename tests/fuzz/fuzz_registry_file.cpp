// Arbitrary bytes as the registry file: the parser must not crash, and whatever it accepts must be
// written back to a file that reads as the very same keys and values.
#include "platform/posix/reg_format.hpp"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace om::platform::posix;
    auto hive = parse_reg_file({data, size});
    if (!hive)
        return 0;
    const std::string text = write_reg_file(*hive);
    auto again = parse_reg_file({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    if (!again || !(*again == *hive))
        std::abort();
    return 0;
}
