// Build step: renders the user manual (Markdown, with its pictures) and the chapters that
// follow it (the instruction set reference) to the help document "mira8help.pdf" that the
// emulator's "Help" opens. Runs without a display.
//
//   mira8-mkhelp docs/manual.md [docs/instruction-set.md ...] build/dev/bin/mira8help.pdf
//
// The pages are laid out here rather than by QTextDocument::print(), so that headings stay
// with what follows them, and listings and tables are not split when they fit on a page.
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextLayout>
#include <QTextTable>
#include <algorithm>
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

// The manual's own chapters are level 2 under its title; a file that follows it is one more
// chapter, its headings one level down.
QString asChapter(const QString& markdown) {
    QStringList lines = markdown.split(QLatin1Char('\n'));
    bool fenced = false;
    for (QString& line : lines) {
        if (line.startsWith(QLatin1String("```"))) fenced = !fenced;
        if (!fenced && line.startsWith(QLatin1Char('#'))) line.prepend(QLatin1Char('#'));
    }
    return lines.join(QLatin1Char('\n'));
}

// What the pages are cut from: the document laid out at the printer's resolution on pages of
// its size, with print()'s margins of 2 cm.
struct Pages {
    QTextDocument& doc;
    double height;  // one page, in layout units
    double top;     // the margin above the text on every page
    double body;    // the text's height on a page

    int pageOf(double y) const { return static_cast<int>(y / height); }
    // How far down its page's text area `y` lies, 0 at the top.
    double down(double y) const { return y - pageOf(y) * height - top; }
};

// One thing on the page in document order: a paragraph, a run of code lines, or a table.
struct Item {
    QTextBlock first, last;  // blocks; for a table its cells' first and last
    QTextTable* table = nullptr;
    int heading = 0;  // the heading level of a paragraph, 0 for none
    bool code = false;
};

std::vector<Item> itemsOf(QTextDocument& doc) {
    std::vector<Item> items;
    for (auto it = doc.rootFrame()->begin(); !it.atEnd(); ++it) {
        if (auto* table = qobject_cast<QTextTable*>(it.currentFrame())) {
            Item t;
            t.table = table;
            t.first = table->firstCursorPosition().block();
            t.last = table->lastCursorPosition().block();
            items.push_back(t);
            continue;
        }
        const QTextBlock b = it.currentBlock();
        if (!b.isValid()) continue;
        const bool code = b.blockFormat().hasProperty(QTextFormat::BlockCodeFence);
        if (code && !items.empty() && items.back().code) {
            items.back().last = b;  // the next line of the same listing
            continue;
        }
        Item p;
        p.first = p.last = b;
        p.heading = b.blockFormat().headingLevel();
        p.code = code;
        items.push_back(p);
    }
    return items;
}

double topOf(const Item& i) {
    auto* layout = i.first.document()->documentLayout();
    if (i.table) return layout->frameBoundingRect(i.table).top();
    return layout->blockBoundingRect(i.first).top();
}

double bottomOf(const Item& i) {
    auto* layout = i.first.document()->documentLayout();
    if (i.table) return layout->frameBoundingRect(i.table).bottom();
    return layout->blockBoundingRect(i.last).bottom();
}

// The top of the first line of a paragraph, where a heading must not be parted from it.
double firstLineBottom(const Item& i) {
    if (i.table) {
        // The heading row and the first row of data.
        auto* layout = i.first.document()->documentLayout();
        const int rows = std::min(2, i.table->rows());
        return layout->blockBoundingRect(i.table->cellAt(rows - 1, 0).lastCursorPosition().block())
            .bottom();
    }
    if (i.code) return bottomOf(i);
    auto* layout = i.first.document()->documentLayout();
    const QRectF r = layout->blockBoundingRect(i.first);
    const QTextLayout* tl = i.first.layout();
    if (!tl || tl->lineCount() == 0) return r.bottom();
    // Two lines, so that no paragraph starts with a lone line under its heading.
    const int n = std::min(2, tl->lineCount());
    return r.top() + tl->lineAt(n - 1).rect().bottom();
}

void breakBefore(const Item& i) {
    if (qEnvironmentVariableIsSet("MKHELP_DEBUG"))
        std::fprintf(stderr, "break before %s: %s\n", i.table ? "table" : "block",
                     qPrintable(i.first.text().left(50)));
    if (i.table) {
        QTextTableFormat f = i.table->format();
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        i.table->setFormat(f);
        return;
    }
    QTextBlockFormat f = i.first.blockFormat();
    f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(i.first).setBlockFormat(f);
}

// A paragraph parted by the page's foot keeps at least two lines on each side; a short one
// that cannot goes over whole (with its heading, when one stands right above it).
void keepLinesTogether(const Pages& pages, const std::vector<Item>& items, size_t k) {
    constexpr int kMinLines = 2;
    const Item& item = items[k];
    const QTextLayout* tl = item.first.layout();
    const double top = topOf(item);
    if (!tl || tl->lineCount() < 2 || pages.pageOf(top) == pages.pageOf(bottomOf(item) - 1)) return;
    if (bottomOf(item) - top > pages.body / 3) return;
    int before = 0;
    const int page = pages.pageOf(top);
    for (int l = 0; l < tl->lineCount(); ++l)
        if (pages.pageOf(top + tl->lineAt(l).rect().bottom() - 1) == page) ++before;
    if (before >= kMinLines && tl->lineCount() - before >= kMinLines) return;
    breakBefore(k > 0 && items[k - 1].heading > 0 ? items[k - 1] : item);
}

// A chapter starts a new page unless most of the page is still free; any heading that would
// stand at the foot of a page goes over with what follows it; a listing, or a table with the
// heading or line that introduces it, moves whole to the next page when it fits on one, and
// a table too long for that repeats its heading row on every page.
void paginate(const Pages& pages) {
    constexpr double kChapterFreeShare = 0.6;
    constexpr double kTableGapShare = 0.25;  // a table moves on only if this much stays used
    const std::vector<Item> items = itemsOf(pages.doc);
    bool firstChapter = true;
    for (size_t k = 0; k < items.size(); ++k) {
        const Item& item = items[k];
        // The title, then each chapter.
        if (item.heading == 2) {
            const bool atStart = firstChapter;
            firstChapter = false;
            if (!atStart && pages.down(topOf(item)) > pages.body * (1 - kChapterFreeShare)) {
                breakBefore(item);
                continue;
            }
        }
        if (item.heading > 0 && k + 1 < items.size()) {
            const Item& next = items[k + 1];
            if (pages.pageOf(topOf(item)) != pages.pageOf(firstLineBottom(next) - 1)) {
                breakBefore(item);
                continue;
            }
        }
        if (!item.code && !item.table) {
            keepLinesTogether(pages, items, k);
            continue;
        }
        if (item.table && item.table->rows() > 1) {
            QTextTableFormat f = item.table->format();
            f.setHeaderRowCount(1);
            item.table->setFormat(f);
        }
        // The unit starts at the heading or the short line that introduces it.
        size_t start = k;
        if (k > 0 && (items[k - 1].heading > 0 || (!items[k - 1].code && !items[k - 1].table &&
                                                   items[k - 1].first.layout()->lineCount() <= 2)))
            start = k - 1;
        if (start > 0 && start == k - 1 && items[start].heading == 0 &&
            items[start - 1].heading > 0)
            --start;
        const double top = topOf(items[start]);
        const double bottom = bottomOf(item);
        if (pages.pageOf(top) == pages.pageOf(bottom - 1)) continue;
        const bool listing = item.code;
        const bool roomLeft = pages.down(top) < pages.body * kTableGapShare;
        if (bottom - top <= pages.body && (listing || !roomLeft)) {
            breakBefore(items[start]);
        } else if (listing && bottomOf(item) - topOf(item) <= pages.body) {
            breakBefore(item);
        }
    }
}

// print()'s page: the laid-out document seen through one page's window, with its number.
void printPages(QTextDocument& doc, QPrinter& printer, const Pages& pages) {
    QPainter p(&printer);
    auto* layout = doc.documentLayout();
    const QFontMetrics fm(doc.defaultFont(), &printer);
    const double margin = kPrintMarginMm / kMmPerInch * printer.logicalDpiX();
    const int count = doc.pageCount();
    for (int page = 0; page < count; ++page) {
        if (page > 0) printer.newPage();
        p.save();
        p.translate(0, -page * pages.height);
        const QRectF view(0, page * pages.height, printer.width(), pages.height);
        p.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = view;
        ctx.palette.setColor(QPalette::Text, Qt::black);
        layout->draw(&p, ctx);
        p.setClipping(false);
        p.setFont(QFont(doc.defaultFont(), &printer));
        const QString number = QString::number(page + 1);
        p.drawText(QPointF(printer.width() - margin - fm.horizontalAdvance(number),
                           view.bottom() - margin + fm.ascent()),
                   number);
        p.restore();
    }
}

// For the build log: pages that came out nearly empty (the last one may be short).
void reportSparsePages(QTextDocument& doc, const Pages& pages) {
    std::vector<double> used(static_cast<size_t>(doc.pageCount()), 0.0);
    for (const Item& i : itemsOf(doc)) {
        const double b = bottomOf(i);
        const size_t page = static_cast<size_t>(pages.pageOf(b - 1));
        if (page < used.size()) used[page] = std::max(used[page], pages.down(b));
    }
    for (size_t page = 0; page + 1 < used.size(); ++page)
        if (used[page] < pages.body / 4)
            std::fprintf(stderr, "mira8-mkhelp: page %zu is %d %% full\n", page + 1,
                         static_cast<int>(100 * used[page] / pages.body));
}

// A pipe table needs the row of dashes under its heading; without it Markdown reads the
// rows as one run-on paragraph, which nobody notices until the PDF is printed. Returns
// the first such table's line (1-based), 0 when every table is whole.
int tableWithoutSeparator(const QString& markdown) {
    const QStringList lines = markdown.split(QLatin1Char('\n'));
    static const QRegularExpression separator(QStringLiteral("^\\|\\s*:?-+"));
    bool inCode = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (lines[i].startsWith(QLatin1String("```"))) inCode = !inCode;
        const bool starts = lines[i].startsWith(QLatin1Char('|')) &&
                            (i == 0 || !lines[i - 1].startsWith(QLatin1Char('|')));
        if (inCode || !starts) continue;
        if (i + 1 >= lines.size() || !separator.match(lines[i + 1]).hasMatch())
            return static_cast<int>(i + 1);
    }
    return 0;
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
    if (argc < 3) {
        std::fprintf(stderr, "usage: mira8-mkhelp MANUAL.md [CHAPTER.md ...] OUTPUT.pdf\n");
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[argc - 1]);

    QString markdown;
    for (int i = 1; i < argc - 1; ++i) {
        const QString name = QString::fromLocal8Bit(argv[i]);
        QFile in(name);
        if (!in.open(QIODevice::ReadOnly)) return fail("cannot read", name);
        const QString text = QString::fromUtf8(in.readAll());
        if (const int line = tableWithoutSeparator(text))
            return fail("table without its separator row", name + QLatin1Char(':') +
                                                               QString::number(line));
        markdown += i == 1 ? text : QStringLiteral("\n\n") + asChapter(text);
    }

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
    styleTables(doc);
    doc.setMetaInformation(QTextDocument::DocumentTitle, QStringLiteral("MIRA-8 Emulator"));

    // The width the text is laid out in, in the document's units.
    const QRectF page = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    const double textWidth = (page.width() - 2 * kPrintMarginMm) / kMmPerInch * kLayoutDpi;
    QString missing;
    if (!placeImages(doc, QFileInfo(input).absolutePath(), textWidth, missing))
        return fail("picture not found", missing);

    // Laid out as print() would: on the printer, 2 cm inside each page (the margins are in
    // the document's units, which the layout scales to the printer's).
    doc.documentLayout()->setPaintDevice(&printer);
    const double margin = kPrintMarginMm / kMmPerInch * kLayoutDpi;
    QTextFrameFormat frame = doc.rootFrame()->frameFormat();
    frame.setMargin(margin);
    doc.rootFrame()->setFrameFormat(frame);
    doc.setPageSize(QSizeF(printer.width(), printer.height()));
    const double scaledMargin = kPrintMarginMm / kMmPerInch * printer.logicalDpiY();
    const Pages pages{doc, static_cast<double>(printer.height()), scaledMargin,
                      printer.height() - 2 * scaledMargin};
    paginate(pages);
    reportSparsePages(doc, pages);
    printPages(doc, printer, pages);

    if (!QFileInfo::exists(output) || QFileInfo(output).size() == 0)
        return fail("could not write", output);
    return 0;
}
