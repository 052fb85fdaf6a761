#include "layout/line_reader.h"

#include <cerrno>
#include <cstring>

#include "jet/file_system.h"
#include "text/language_error.h"
#include "text/windows874.h"

namespace layout {

namespace {
constexpr size_t kBufferSize = 64 * 1024;
}

InputTextFile::~InputTextFile() {
    close();
}

void InputTextFile::open(const std::filesystem::path& path) {
    close();
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw text::languageError(53);
    if (std::filesystem::is_directory(path, ec)) throw text::languageError(75);
    file_ = jet::openForReading(path);
    if (file_ == nullptr) throw text::languageError(errno == ENOENT ? 53 : 75);
    path_ = path;
    buffer_.resize(kBufferSize);
    pos_ = size_ = 0;
    filled_ = 0;
    fileSize_ = static_cast<uint64_t>(std::filesystem::file_size(path, ec));
    if (ec) fileSize_ = 0;
}

void InputTextFile::close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    pos_ = size_ = 0;
}

bool InputTextFile::fill() {
    if (pos_ < size_) return true;
    pos_ = 0;
    size_ = std::fread(buffer_.data(), 1, buffer_.size(), file_);
    filled_ += size_;
    if (size_ == 0 && std::ferror(file_)) throw text::languageError(57);
    return size_ > 0;
}

bool InputTextFile::atEnd() {
    return !fill();
}

bool InputTextFile::readLine(std::string& line) {
    if (!fill()) return false;
    std::string bytes;
    while (fill()) {
        const char* begin = buffer_.data() + pos_;
        const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', size_ - pos_));
        if (cr == nullptr) {
            bytes.append(begin, size_ - pos_);
            pos_ = size_;
            continue;
        }
        bytes.append(begin, cr);
        pos_ += static_cast<size_t>(cr - begin) + 1;
        if (fill() && buffer_[pos_] == '\n') ++pos_;
        break;
    }
    line = text::windows874ToUtf8(bytes);
    return true;
}

}  // namespace layout
