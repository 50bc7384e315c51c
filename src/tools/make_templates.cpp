// Writes the label templates into a data folder (by default the one of the
// source tree it was built from): make_templates [DATA_DIR]

#include "tools/label_templates.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
        std::fprintf(stderr, "usage: make_templates [DATA_DIR]\n");
        return 1;
    }
    const std::filesystem::path dir = argc == 2 ? argv[1] : LABEL_DATA_DIR;
    try {
        for (const auto& file : label_templates::TemplateFiles()) {
            const std::string bytes = label_templates::TemplateBytes(file.Build);
            const std::filesystem::path path = dir / file.Path;
            std::filesystem::create_directories(path.parent_path());
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.close();
            if (!out) {
                std::fprintf(stderr, "make_templates: cannot write %s\n", path.c_str());
                return 2;
            }
            std::printf("%s (%zu bytes)\n", path.c_str(), bytes.size());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_templates: %s\n", e.what());
        return 2;
    }
    return 0;
}
