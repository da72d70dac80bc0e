#include "export/report_writer.h"

#include "platform/strings.h"

namespace tw::exporter {

void ReportWriter::writeTextId(int id) {
    writeText(platform::text(id));
}

}  // namespace tw::exporter
