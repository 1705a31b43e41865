// Printing a roll on a host printer: two columns of line pictures a page, placed by the
// printer's resolution. The dialog is the window's; this draws.
#pragma once

#include <string>
#include <vector>

class QPrinter;

namespace mira::gui {

// Above this the line pictures gain nothing and only cost time to scale.
inline constexpr int kMaxPrintDpi = 300;

// Prints the roll on `printer` (set up by the caller); false when the job failed or was
// aborted. Caps the printer's resolution at kMaxPrintDpi.
bool printRoll(QPrinter& printer, const std::vector<std::string>& roll);

}  // namespace mira::gui
