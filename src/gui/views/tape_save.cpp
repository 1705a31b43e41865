#include "core/atomic_file.h"
#include "views/tape_save.h"

#include <QFileDialog>
#include <QFileInfo>

#include "core/tape_file.h"
#include "views/addr.h"

namespace mira::gui {

QString suggestedTapeName(const QString& editorFile) {
    if (editorFile.isEmpty()) return QStringLiteral("*.ptp");
    const QFileInfo fi(editorFile);
    return fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".ptp"));
}

namespace {

bool askRange(QWidget* parent, core::Prompter& prompter, int limit, int& from, int& to) {
    TaddrFM addrFM(&prompter, parent);
    addrFM.SetLimits(0, limit);
    if (addrFM.exec() != QDialog::Accepted) return false;
    from = addrFM.GetFrom();
    to = addrFM.GetTo();
    return true;
}

QString askFile(QWidget* parent, const QString& suggested) {
    QString name = QFileDialog::getSaveFileName(
        parent, QStringLiteral("Save Paper Tape File"), suggested,
        QStringLiteral("Paper Tape Files (*.ptp);;All Files (*.*)"));
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".ptp");
    return name;
}

}  // namespace

bool SaveTapeFile(QWidget* parent, core::Prompter& prompter, const TapeSaveRequest& request) {
    int from = 0;
    int to = request.limit;
    const bool chosen = request.chooseRange ? request.chooseRange(from, to)
                                            : askRange(parent, prompter, request.limit, from, to);
    if (!chosen) return false;
    const QString suggested = suggestedTapeName(request.editorFile);
    const QString file = request.chooseFile ? request.chooseFile(suggested) : askFile(parent, suggested);
    if (file.isEmpty()) return false;
    const auto lines = core::buildTapeLines(request.words, request.highest, from, to);
    if (!core::writeTapeFile(file.toStdString(), lines)) {
        prompter.error(core::saveFailureText(kTapeSaveFailed, file.toStdString()));
        return false;
    }
    return true;
}

}  // namespace mira::gui
