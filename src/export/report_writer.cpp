#include "export/report_writer.h"

#include <system_error>

#include "platform/strings.h"

namespace tw::exporter {

void ReportWriter::writeTextId(int id) {
    writeText(platform::text(id));
}

void ReportWriter::noteFailure(std::string_view reason) noexcept {
    if (!failure_.empty()) return;
    try {
        failure_.assign(reason.empty() ? std::string_view("unknown error") : reason);
    } catch (...) {
        // Out of memory. This text is short enough for the string's own buffer, so it needs no
        // allocation.
        try {
            failure_.assign("out of memory");
        } catch (...) {
        }
    }
}

std::string systemReason(int error) {
    // A call that failed without setting errno must not be reported as "Success".
    return error == 0 ? std::string("unknown error") : std::generic_category().message(error);
}

}  // namespace tw::exporter
