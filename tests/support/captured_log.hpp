#pragma once
// The run log written into a file of its own for one test: what the session logs is part of what it does.
#include "common/log.hpp"

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace om::test {

class CapturedLog {
public:
    CapturedLog() { log::open(path_, 7); }
    CapturedLog(const CapturedLog&) = delete;
    ~CapturedLog()
    {
        log::close();
        std::filesystem::remove(path_);
    }

    // The events written so far, without their time and process id.
    std::string text() const
    {
        std::ifstream in(path_);
        std::string line, events;
        while (std::getline(in, line))
            events += line.substr(std::min(line.size(), line.find("] ") + 2)) + "\n";
        return events;
    }
    const std::string& path() const { return path_; }
    bool has(const std::string& event) const { return text().find(event + "\n") != std::string::npos; }

private:
    const std::string path_ =
        (std::filesystem::temp_directory_path() / ("om_captured_" + std::to_string(std::random_device{}()) + ".log"))
            .string();
};

} // namespace om::test
