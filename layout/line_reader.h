// Sequential reading of an input text file, one line at a time.
//
// Input files are written in the Thai single-byte code page (Windows-874); every line is handed
// on as UTF-8. A line ends at a carriage return or at a carriage return followed by a line feed;
// the line end is not part of the line, and a line feed that follows no carriage return is an
// ordinary character of the line. The file is streamed through a small buffer, never held whole.
// Failures to open or read are report::RunTimeError: 53 "File not found", 75 "Path/File access
// error", 57 "Device I/O error".
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace layout {

class InputTextFile {
  public:
    InputTextFile() = default;
    ~InputTextFile();
    InputTextFile(const InputTextFile&) = delete;
    InputTextFile& operator=(const InputTextFile&) = delete;

    // Opens `path` for reading; closes what was open first.
    void open(const std::filesystem::path& path);
    void close();
    bool isOpen() const { return file_ != nullptr; }

    // True when no line is left: the next readLine would find nothing.
    // REQUIRES: isOpen().
    bool atEnd();

    // Reads the next line into `line` (UTF-8, without its line end). Returns false, leaving
    // `line` unchanged, when no line is left. REQUIRES: isOpen().
    bool readLine(std::string& line);

    // Bytes of the file taken by the lines read so far, and the file's size when it was opened:
    // how far through the file the reading is.
    uint64_t bytesRead() const { return filled_ - (size_ - pos_); }
    uint64_t fileSize() const { return fileSize_; }

  private:
    // Makes at least one unread byte available; false at the end of the file.
    bool fill();

    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
    std::vector<char> buffer_;
    size_t pos_ = 0;
    size_t size_ = 0;
    uint64_t filled_ = 0;  // bytes read from the file into the buffer
    uint64_t fileSize_ = 0;
};

}  // namespace layout
