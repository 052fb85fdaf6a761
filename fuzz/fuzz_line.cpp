// Fuzz target: input-line handling. The first byte picks the separator length; the rest is a
// Windows-874 line that is decoded, cut into columns, and whose columns go through the pay-item
// key cutter and the amount conversion. Checks that a converted amount survives its own text
// form and that the pieces put back together give the line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "jet/value.h"
#include "layout/line_mapping.h"
#include "report/run_time_error.h"
#include "text/windows874.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t separatorLength = data[0] % 4;
    if (size < 1 + separatorLength) return 0;
    const std::string separator(reinterpret_cast<const char*>(data + 1), separatorLength);
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1 + separatorLength),
                                 size - 1 - separatorLength);

    const std::string line = text::windows874ToUtf8(bytes);
    const std::string sep = text::windows874ToUtf8(separator);
    const auto pieces = layout::splitLine(line, sep);
    if (pieces.empty()) std::abort();

    std::string joined;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) joined += sep;
        joined += pieces[i];
    }
    if (joined != line) std::abort();

    for (long fieldNo = 0; fieldNo <= static_cast<long>(pieces.size()) + 1; ++fieldNo) {
        try {
            const std::string& column = layout::columnText(pieces, fieldNo);
            (void)layout::cutPayItemKey(column);
            const jet::Currency amount = layout::amountOfColumn(column);
            const std::string text = layout::currencyToText(amount);
            if (layout::textToCurrency(text) != amount) std::abort();
        } catch (const report::RunTimeError&) {
            // Subscript out of range, type mismatch, overflow: the documented refusals.
        }
    }
    (void)text::utf8ToWindows874(line);
    return 0;
}
