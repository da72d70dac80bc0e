#pragma once
// The fill of the client reports (browser families, operating systems, devices, robots), kept
// apart from the fixed reports because their rows come from the client classification rather
// than from the statistics tables.
#include "engine/client_reports.h"
#include "presentation/catalogue.h"
#include "presentation/report_rows.h"
#include "presentation/report_table.h"

namespace tw::presentation {

bool isClientReport(ReportId report);

// Fills `table` with `report`, one of the client reports; a report without rows, or whose
// rules could not be read, becomes a message. `chartMode` shows graphs as lists.
FillResult fillClientReport(ReportId report, const engine::ClientReports& clients, bool chartMode,
                            ReportTable& table);

}  // namespace tw::presentation
