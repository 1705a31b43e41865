// Build step: renders the user manual (Markdown, with its pictures) to the help document
// "mira8help.pdf" that the emulator's "Help" opens. Runs without a display.
//
//   mira8-mkhelp docs/manual.md build/dev/bin/mira8help.pdf
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextTable>
#include <cstdio>
#include <vector>

namespace {

// QTextDocument::print() puts a 2 cm margin inside the printer's own; the printer's is kept
// a hair above zero, which print() would otherwise replace with 2 cm of its own.
constexpr double kPrintMarginMm = 20;
constexpr double kPrinterMarginMm = 0.1;
constexpr int kBodyPointSize = 10;
constexpr double kLayoutDpi = 96;  // the units of a document that is not paginated
constexpr double kMmPerInch = 25.4;

int fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "mira8-mkhelp: %s: %s\n", what, qPrintable(detail));
    return 1;
}

// Every picture is loaded from beside the manual and scaled to fit the text width, keeping
// its full resolution for the PDF.
bool placeImages(QTextDocument& doc, const QString& baseDir, double textWidth, QString& missing) {
    struct Found {
        int position, length;
        QTextImageFormat format;
    };
    std::vector<Found> images;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.isValid() && f.charFormat().isImageFormat())
                images.push_back({f.position(), f.length(), f.charFormat().toImageFormat()});
        }
    for (Found& found : images) {
        const QString name = found.format.name();
        const QImage image(QFileInfo(name).isAbsolute() ? name : baseDir + QLatin1Char('/') + name);
        if (image.isNull()) {
            missing = name;
            return false;
        }
        doc.addResource(QTextDocument::ImageResource, QUrl(name), image);
        const double width = std::min<double>(image.width(), textWidth);
        found.format.setWidth(width);
        found.format.setHeight(width * image.height() / image.width());
        QTextCursor c(&doc);
        c.setPosition(found.position);
        c.setPosition(found.position + found.length, QTextCursor::KeepAnchor);
        c.setCharFormat(found.format);
    }
    return true;
}

// Every chapter (a level-2 heading) starts on a new page, so that no heading is left at the
// foot of a page without its text.
void breakBeforeChapters(QTextDocument& doc) {
    bool first = true;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() != 2) continue;
        if (first) {
            first = false;
            if (b.position() < doc.characterCount() / 8) continue;  // right after the title
        }
        QTextBlockFormat f = b.blockFormat();
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(b).setBlockFormat(f);
    }
}

// Tables with thin ruled cells, a little air inside them and a shaded heading row.
void styleTables(QTextDocument& doc) {
    const QList<QTextFrame*> frames = doc.rootFrame()->childFrames();
    for (QTextFrame* frame : frames) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) continue;
        QTextTableFormat f = table->format();
        f.setBorderCollapse(true);
        f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        f.setBorder(1);
        f.setBorderBrush(QColor(0x90, 0x90, 0x90));
        f.setCellSpacing(0);
        f.setCellPadding(3);
        table->setFormat(f);
        for (int c = 0; c < table->columns(); ++c) {
            QTextTableCell cell = table->cellAt(0, c);
            QTextCharFormat head = cell.format();
            head.setBackground(QColor(0xE8, 0xE4, 0xDC));
            cell.setFormat(head);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A build machine has no display; the offscreen platform lays out text just the same.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: mira8-mkhelp MANUAL.md OUTPUT.pdf\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);

    QFile in(input);
    if (!in.open(QIODevice::ReadOnly)) return fail("cannot read", input);
    const QString markdown = QString::fromUtf8(in.readAll());

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(output);
    const QMarginsF printerMargins(kPrinterMarginMm, kPrinterMarginMm, kPrinterMarginMm,
                                   kPrinterMarginMm);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      printerMargins, QPageLayout::Millimeter));
    printer.setDocName(QStringLiteral("MIRA-8 Emulator — User Manual"));
    printer.setCreator(QStringLiteral("mira8-mkhelp"));

    QTextDocument doc;
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSize(kBodyPointSize);
    doc.setDefaultFont(body);
    doc.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    breakBeforeChapters(doc);
    styleTables(doc);
    doc.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("MIRA-8 Emulator"));

    // The width print() lays the text out in, in the document's units.
    const QRectF page = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    const double textWidth = (page.width() - 2 * kPrintMarginMm) / kMmPerInch * kLayoutDpi;
    QString missing;
    if (!placeImages(doc, QFileInfo(input).absolutePath(), textWidth, missing))
        return fail("picture not found", missing);

    doc.print(&printer);
    if (!QFileInfo::exists(output) || QFileInfo(output).size() == 0)
        return fail("could not write", output);
    return 0;
}
