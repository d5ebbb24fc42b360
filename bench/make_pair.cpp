// Writes a policy-definition pair of N items, as runs of tarnwick-cli admx would have grown it, for
// the pair benchmark: make_pair N FOLDER writes FOLDER/TarnwickDrives.admx and
// FOLDER/en-US/TarnwickDrives.adml.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "policy/PolicyText.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_pair N FOLDER\n");
        return 2;
    }
    const unsigned long count = std::strtoul(argv[1], nullptr, 10);
    std::vector<tarnwick::DriveItem> items;
    for (unsigned long i = 1; i <= count; ++i) {
        const std::string name = "Set" + std::to_string(i);
        items.push_back({name, "Restrict the drives of set " + std::to_string(i),
                         static_cast<std::uint32_t>(i)});
    }
    const std::filesystem::path folder = argv[2];
    std::filesystem::create_directories(folder / "en-US");
    std::ofstream(folder / tarnwick::policy::kAdmxName, std::ios::binary)
        << tarnwick::policy::RenderAdmx(items);
    std::ofstream(folder / "en-US" / tarnwick::policy::kAdmlName, std::ios::binary)
        << tarnwick::policy::RenderAdml(items);
    return 0;
}
