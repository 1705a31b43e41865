// How the panel and the module windows look whatever the desktop: lettering in the faces the
// program carries and within its room, the same pixels where the desktop offers only
// DejaVu Sans, windows cut to their pictures, artwork drawn at the screen's own resolution.
// Run as well at several QT_SCALE_FACTORs and on a screen whose device pixel ratio is 2.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "artwork_font.h"
#include "devices/module_catalogue.h"
#include "gui_test_support.h"
#include "mira/mira.h"
#include "modules/module_window.h"
#include "modules/module_windows.h"

using namespace mira;
using namespace mira::gui;

namespace {

// Every window with lettering: the panel first, then each module's.
std::vector<QWidget*> letteredWindows(TmiraFM& w) {
    std::vector<QWidget*> all = {&w};
    for (const devices::ModuleKind& kind : devices::moduleKinds())
        if (ModuleWindow* m = w.modules().window(kind)) all.push_back(m);
    return all;
}

// The share of 2 x 2 device-pixel blocks that are not one colour: an image drawn at half the
// resolution and scaled up has none.
double detailedBlocks(const QImage& img) {
    int blocks = 0;
    int detailed = 0;
    for (int y = 0; y + 1 < img.height(); y += 2)
        for (int x = 0; x + 1 < img.width(); x += 2) {
            const QRgb c = img.pixel(x, y);
            ++blocks;
            if (img.pixel(x + 1, y) != c || img.pixel(x, y + 1) != c || img.pixel(x + 1, y + 1) != c)
                ++detailed;
        }
    return blocks == 0 ? 0 : double(detailed) / blocks;
}

}  // namespace

class LookTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    gui_test::ScriptedPrompter prompter_;

    // The panel as a picture, drawn by a second run of this program with `env`.
    QImage panelDrawnWith(const QProcessEnvironment& env) {
        QProcess p;
        p.setProcessEnvironment(env);
        const QString out = dir_->filePath(QStringLiteral("panel-%1.png").arg(++grabs_));
        p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--grab-panel"), out});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
        return QImage(out);
    }
    int grabs_ = 0;

  private Q_SLOTS:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() {
        dir_ = gui_test::freshDataDir();
        QVERIFY(dir_);
    }

    // Every lettered label of the panel and the modules, laid out in the loaded faces, fits
    // the room the artwork gives it ("DEPOSIT" never runs into "LOAD ADDR").
    void everyLabelFitsItsRoom() {
        TmiraFM w(&prompter_);
        std::vector<DrawnLabel> labels;
        recordLabels(&labels);
        for (QWidget* win : letteredWindows(w)) win->grab();
        recordLabels(nullptr);
        QVERIFY2(labels.size() > 60, qPrintable(QString::number(labels.size())));
        for (const DrawnLabel& l : labels) {
            const QFontInfo used(l.font);
            QCOMPARE(used.family(), l.font.family());  // a face the program carries
            const QRectF needed = QFontMetricsF(l.font).boundingRect(l.room, Qt::AlignCenter, l.text);
            QVERIFY2(needed.width() <= l.room.width() + 0.5,
                     qPrintable(QStringLiteral("\"%1\" needs %2 px, has %3")
                                    .arg(l.text).arg(needed.width()).arg(l.room.width())));
        }
        // The captions the module windows letter with text labels likewise.
        int captions = 0;
        for (QWidget* win : letteredWindows(w))
            for (const QLabel* label : win->findChildren<QLabel*>()) {
                // Framed windows the panel owns (views, timing diagram) lay their labels out.
                if (label->window() != win || label->text().isEmpty() || label->wordWrap() ||
                    label->textFormat() == Qt::RichText)
                    continue;
                ++captions;
                const int needed = label->fontMetrics().horizontalAdvance(label->text());
                QVERIFY2(needed <= label->contentsRect().width(),
                         qPrintable(QStringLiteral("%1 \"%2\" needs %3 px, has %4")
                                        .arg(win->objectName(), label->text())
                                        .arg(needed).arg(label->contentsRect().width())));
            }
        QVERIFY(captions > 0);
    }

    // A desktop whose fontconfig knows only DejaVu Sans (regular and bold), without its
    // condensed faces, sees the panel pixel for pixel as it is drawn here.
    void panelIsTheSameWhereOnlyDejaVuSansIsInstalled() {
        const QProcessEnvironment here = QProcessEnvironment::systemEnvironment();
        const QImage usual = panelDrawnWith(here);
        QVERIFY(!usual.isNull());
        const QString fonts = dir_->filePath(QStringLiteral("fonts"));
        QVERIFY(QDir().mkpath(fonts));
        for (const char* face : {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf"})
            QVERIFY(QFile::copy(QStringLiteral(":/fonts/") + QLatin1String(face),
                                fonts + QLatin1Char('/') + QLatin1String(face)));
        const QString conf = dir_->filePath(QStringLiteral("fonts.conf"));
        QFile f(conf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n"
                               "<fontconfig><dir>%1</dir><cachedir>%2</cachedir></fontconfig>\n")
                    .arg(fonts, dir_->filePath(QStringLiteral("fc-cache")))
                    .toUtf8());
        f.close();
        QProcessEnvironment bare = here;
        bare.insert(QStringLiteral("FONTCONFIG_FILE"), conf);
        const QImage sparse = panelDrawnWith(bare);
        QCOMPARE(sparse.size(), usual.size());
        QVERIFY(sparse == usual);
    }

    // A window that is not a rectangle is cut to its picture: nothing of it shows where its
    // picture leaves the pixels transparent (no square black corners, no band).
    void windowsAreCutToTheirPictures() {
        TmiraFM w(&prompter_);
        int shaped = 0;
        for (QWidget* win : letteredWindows(w)) {
            if (win == &w) continue;
            win->show();
            QVERIFY(QTest::qWaitForWindowExposed(win));
            QImage picture(win->size(), QImage::Format_ARGB32_Premultiplied);
            picture.fill(Qt::transparent);
            win->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
            const QRegion mask = win->mask();
            // A pixel the picture leaves clear within two of one it paints is the outline's edge,
            // which an outline traced as a polygon (and scaled) may keep.
            auto besidePainted = [&](int x, int y) {
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx) {
                        const QPoint n(x + dx, y + dy);
                        if (picture.rect().contains(n) && qAlpha(picture.pixel(n)) != 0) return true;
                    }
                return false;
            };
            bool transparentSomewhere = false;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) {
                    if (qAlpha(picture.pixel(x, y)) != 0) continue;
                    transparentSomewhere = true;
                    if (besidePainted(x, y)) continue;
                    QVERIFY2(!mask.isEmpty() && !mask.contains(QPoint(x, y)),
                             qPrintable(QStringLiteral("%1 shows %2,%3")
                                            .arg(win->objectName()).arg(x).arg(y)));
                }
            if (transparentSomewhere) ++shaped;
            win->hide();
        }
        // Keypad, KeyPad 2, ASCII keyboard, switches, reader, punch, cassette and the round
        // displays, printer and player.
        QVERIFY2(shaped >= 10, qPrintable(QString::number(shaped)));
    }

    // A module's stored place (in the screen's own units at any scale) comes back where it
    // was and is written back unchanged; one that lies beyond the screen comes back onto it.
    void storedPlacesComeBackOnScreen() {
        TmiraFM w(&prompter_);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QRect screen = w.screen()->availableGeometry();
        ModuleWindow* pad = w.modules().window(*devices::moduleKindOfType(core::kModuleKeypad));
        QVERIFY(pad);
        auto withPlace = [&](int x, int y) {
            std::string state = pad->GetScreenData();
            state = std::to_string(x) + "~" + std::to_string(y) + state.substr(state.find('~', state.find('~') + 1));
            return state;
        };
        // Right of the panel when there is room, else below it: free, wholly on the screen.
        const QPoint free = screen.width() - w.width() > pad->width() + 10
                                ? QPoint(screen.width() - pad->width() - 5, 10)
                                : QPoint(5, screen.height() - pad->height() - 5);
        const std::string stored = withPlace(free.x(), free.y());
        pad->PutScreenData(stored);
        pad->show();
        QVERIFY(QTest::qWaitForWindowExposed(pad));
        QCOMPARE(pad->pos(), free);
        QCOMPARE(pad->GetScreenData(), stored);
        pad->hide();
        pad->PutScreenData(withPlace(screen.right() + 400, screen.bottom() + 400));
        pad->show();
        QVERIFY(QTest::qWaitForWindowExposed(pad));
        QVERIFY(screen.contains(pad->frameGeometry()));
        pad->hide();
    }

    // The artwork is drawn at the screen's device pixels, not drawn small and scaled up.
    void artworkIsDrawnAtTheScreensResolution() {
        TmiraFM w(&prompter_);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const qreal dpr = w.devicePixelRatioF();
        for (QWidget* win : letteredWindows(w)) {
            const QImage img = win->grab().toImage();
            QCOMPARE(img.devicePixelRatio(), dpr);
            QVERIFY(qAbs(img.width() - win->width() * dpr) <= 1);
            if (dpr >= 2)
                QVERIFY2(detailedBlocks(img) > 0.05, qPrintable(win->objectName()));
        }
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--grab-panel") {
        mira::gui::TmiraFM w;
        return w.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    LookTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "look_test.moc"
