// Throughput of html_to_text on generated release pages of the sizes given on the command line (MB).
// Prints one line per size: size, seconds (best of three), MB/s, nanoseconds per byte.
#include "release/html_to_text.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A page like a long release history: tags, entities, line breaks and text.
std::string generated_page(std::size_t bytes)
{
    const std::string block = "<tr><td class=\"v\">2.1.5</td><td>New Feature&nbsp;Update &gt; faster<br>\n"
                              "  fits &amp; smaller &lt;files&gt;</td><td><a href=\"om_exe.v.2.1.5.exe\">"
                              "om_exe.v.2.1.5.exe</a></td></tr>\r\n";
    std::string page;
    page.reserve(bytes + block.size());
    while (page.size() < bytes)
        page += block;
    page.resize(bytes);
    return page;
}

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::size_t megabytes = std::strtoul(argv[i], nullptr, 10);
        const std::string page = generated_page(megabytes * 1000 * 1000);
        double best = 1e9;
        std::size_t out_size = 0;
        for (int round = 0; round < 3; ++round) {
            const auto start = std::chrono::steady_clock::now();
            const std::string text = om::html_to_text(page);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            best = std::min(best, took.count());
            out_size = text.size();
        }
        std::printf("%zu MB: %.3f s, %.0f MB/s, %.2f ns/byte (text %zu bytes)\n", megabytes, best,
                    static_cast<double>(page.size()) / 1e6 / best, best * 1e9 / static_cast<double>(page.size()),
                    out_size);
    }
    return 0;
}
