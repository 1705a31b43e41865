#include "modules/prntr_print.h"

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <unordered_map>

#include "devices/lanczos.h"
#include "devices/print_layout.h"
#include "devices/printer_file.h"

namespace mira::gui {

bool printRoll(QPrinter& printer, const std::vector<std::string>& roll) {
    printer.setPageOrientation(QPageLayout::Portrait);
    if (printer.resolution() > kMaxPrintDpi) printer.setResolution(kMaxPrintDpi);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const devices::PrintLayout layout =
        devices::printLayout(printer.logicalDpiX(), printer.width(), printer.height());
    if (layout.lineWidth <= 0 || layout.lineHeight <= 0) {
        painter.end();
        printer.abort();
        return false;
    }
    const auto places = devices::placePrintLines(layout, static_cast<int>(roll.size()));
    // The same line scales to the same picture: a roll of repeated lines prints quickly.
    std::unordered_map<std::string, QImage> scaled;
    int page = 0;
    for (size_t i = 0; i < roll.size(); ++i) {
        const devices::PrintPlace& at = places[i];
        if (at.page != page) {
            if (!printer.newPage()) {
                painter.end();
                printer.abort();
                return false;
            }
            page = at.page;
        }
        if (roll[i].empty()) continue;  // a fed line prints as spaces
        auto it = scaled.find(roll[i]);
        if (it == scaled.end()) {
            const devices::GrayImage pic = devices::resizeLanczos3(
                devices::renderLinePicture(devices::rollLineCodes(roll[i])), layout.lineWidth,
                layout.lineHeight);
            QImage img(pic.pixels.data(), pic.width, pic.height, pic.width, QImage::Format_Grayscale8);
            it = scaled.emplace(roll[i], img.copy()).first;
        }
        painter.drawImage(QPoint(at.x, at.y), it->second);
    }
    return painter.end();
}

}  // namespace mira::gui
