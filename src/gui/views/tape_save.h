// SaveTapeFile: asks for an address range and a file name, then writes words as a paper
// tape file. Shared by the memory view and the tape punch.
#pragma once

#include <QString>
#include <functional>
#include <span>

#include "core/prompter.h"
#include "core/tape_file.h"

class QWidget;

namespace mira::gui {

using core::kTapeSaveFailed;

struct TapeSaveRequest {
    std::span<const int32_t> words;
    int highest = 0;  // addresses above it are saved as 0
    int limit = 255;  // To preselected in the range dialog
    QString editorFile;  // the editor's file, to name the tape after it
    // Seams for tests; empty uses the dialogs.
    std::function<bool(int& from, int& to)> chooseRange;
    std::function<QString(const QString& suggested)> chooseFile;
};

// The save dialog's first name: the editor's file with ".ptp", else "*.ptp".
QString suggestedTapeName(const QString& editorFile);

// True when a file was written; false on Cancel or a failed write (after the message).
bool SaveTapeFile(QWidget* parent, core::Prompter& prompter, const TapeSaveRequest& request);

}  // namespace mira::gui
