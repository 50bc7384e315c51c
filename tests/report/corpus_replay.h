#pragma once
// Replays a fuzzer's minimised corpus (a folder of tests/data): every file's
// bytes go to `run`, traced by file name. Returns the number of inputs.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

inline int ReplayCorpus(const char* folder, const std::function<void(const std::string&)>& run) {
    const std::filesystem::path dir = std::filesystem::path(TEST_DATA_DIR) / folder;
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        run(bytes);
        ++inputs;
    }
    return inputs;
}
