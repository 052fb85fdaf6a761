#include "text/language_error.h"

namespace text {

std::string languageErrorDescription(int32_t number) {
    switch (number) {
        case 5:
            return "Invalid procedure call or argument";
        case 6:
            return "Overflow";
        case 9:
            return "Subscript out of range";
        case 13:
            return "Type mismatch";
        case 52:
            return "Bad file name or number";
        case 53:
            return "File not found";
        case 57:
            return "Device I/O error";
        case 62:
            return "Input past end of file";
        case 75:
            return "Path/File access error";
        case 94:
            return "Invalid use of Null";
        default:
            return "Application-defined or object-defined error";
    }
}

report::RunTimeError languageError(int32_t number, const std::string& description) {
    return report::RunTimeError(
        number, description.empty() ? languageErrorDescription(number) : description,
        kProgramErrorSource);
}

}  // namespace text
