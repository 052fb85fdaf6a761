// A per-process scratch file for fuzz targets whose code under test reads a file by path.
//
// Promises: the path is unique to this process (several fuzzing jobs may share a machine), lies
// in the system's temporary folder, and the file and its side files (.ldb lock, .jnl journal,
// temporary files of a settings rewrite) are removed when the process ends normally.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace fuzzing {

class ScratchDir {
  public:
    ScratchDir()
        : path_(std::filesystem::temp_directory_path() /
                ("veltra-fuzz-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

    // Writes `data` as the whole of `name` in the folder, after removing every other file
    // there (a journal left by one input must not be replayed into the next).
    std::filesystem::path write(const std::string& name, const uint8_t* data, size_t size) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(path_, ec)) {
            std::filesystem::remove(entry.path(), ec);
        }
        const auto file = path_ / name;
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (out != nullptr) {
            if (size > 0) std::fwrite(data, 1, size, out);
            std::fclose(out);
        }
        return file;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace fuzzing
