#include "jet/file_system.h"

#include <random>
#include <stdexcept>

#include "jet/path_text.h"

namespace jet {

namespace fs = std::filesystem;

fs::path makeTemporaryFolder(const std::string& prefix) {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    if (!error) {
        std::random_device seed;
        std::mt19937_64 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path folder =
                base / pathFromUtf8(prefix + "-" + std::to_string(random() % 100000000));
            if (fs::create_directory(folder, error)) return folder;
            if (error) break;
        }
    }
    throw std::runtime_error("cannot create a temporary folder in " + utf8FromPath(base) +
                             (error ? ": " + error.message() : std::string()));
}

}  // namespace jet
