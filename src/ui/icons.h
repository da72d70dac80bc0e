#pragma once
// The program's small icons, drawn rather than shipped as bitmaps so every size stays sharp and
// one palette holds for the whole set.
#include <QIcon>

namespace tw::ui {

// The report tree's icon for a catalogue icon index (folders open and closed included); an
// unknown index gives the plain report sheet.
QIcon reportIcon(int index);
// The toolbar's commands.
enum class CommandIcon { SwitchReports, Open, Export, Copy, ChartView, GraphView };
QIcon commandIcon(CommandIcon command);
// The program's own icon (window and desktop entry).
QIcon applicationIcon();

}  // namespace tw::ui
