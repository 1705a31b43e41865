// The printer window TprnFM: the printer picture with its paper, roll, cover and feed
// button, the three labels, and the popup menu for the roll. The logic it draws is
// devices::Printer; this window routes clicks, shows dialogs and paints.
#pragma once

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>
#include <unordered_map>

#include "devices/printer.h"
#include "modules/module_window.h"

class QLabel;
class QMenu;
class QAction;
class QPrinter;

namespace mira::gui {

class TprnFM;

// One picture of the window: draws by the given function and passes the mouse on.
class PrinterPicture final : public QWidget {
public:
    PrinterPicture(TprnFM& owner, QWidget* parent, const char* name, bool mouse);
    std::function<void(QPainter&)> paint;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;

private:
    TprnFM& owner_;
};

class TprnFM final : public ModuleWindow, public devices::PrinterHost {
public:
    explicit TprnFM(const ModuleEnv& env);
    ~TprnFM() override;

    devices::Printer& printer() { return printer_; }
    const devices::Printer& printer() const { return printer_; }

    void PutDevice(int slot) { printer_.PutDevice(slot); }
    int GetDevice() const { return printer_.GetDevice(); }
    void doInit();
    void doReset() { printer_.doReset(); }

    // ModuleWindow
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    void bindSlot(int slot) override;
    int boundSlot() const override { return GetDevice(); }
    void initFromMenu() override { doInit(); }
    // Offers to save a changed roll.
    void beforeSettingsSave() override { printer_.askSaveBeforeSettings(); }

    // Popup menu commands.
    void LoadRoll1Click() { printer_.loadRoll(); }
    void Save1Click() { printer_.saveRoll(); }
    void Print1Click();
    void DiscardUsedRoll1Click() { printer_.discardRoll(); }
    void Close1Click();
    QMenu* popupMenu() const { return PopupMenu1; }

    // The paper as it is drawn (for tests and the benchmark): paints paperImage into
    // `p`, whose origin is the paper's top-left corner.
    void paintPaper(QPainter& p);
    void clearLineCache() { lineCache_.clear(); }

    // File dialogs and the print dialog; tests replace them. Empty = cancelled.
    std::function<QString(const QString& initial)> chooseOpenFileDialog;
    std::function<QString(const QString& initial)> chooseSaveFileDialog;
    // Sets the printer up (the print dialog); false = cancelled.
    std::function<bool(QPrinter&)> setUpPrinter;

    // PrinterHost
    void drawPaper() override;
    void drawLabels() override;
    void showFeedButton(bool pressed) override;
    std::string chooseOpenFile() override;
    std::string chooseSaveFile(const std::string& initial) override;
    bool windowVisible() const override { return isVisible(); }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    friend class PrinterPicture;
    void pictureMouseDown(QWidget* from, QMouseEvent* e);
    void pictureMouseUp(QMouseEvent* e);
    void ensureArt(qreal dpr);
    const QImage& linePicture(const std::string& line, qreal dpr);

    devices::Printer printer_;
    core::Prompter& prompter_;

    PrinterPicture* prnImage = nullptr;
    PrinterPicture* paperImage = nullptr;
    PrinterPicture* rollImage = nullptr;
    QWidget* coverPanel = nullptr;
    PrinterPicture* coverImage = nullptr;
    PrinterPicture* lfdnImage = nullptr;
    QLabel* devLabel = nullptr;
    QLabel* fileLabel = nullptr;
    QLabel* pCountLabel = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Print1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* DiscardUsedRoll1 = nullptr;

    QImage body_, roll_, cover_, feedDown_;
    qreal artDpr_ = 0;
    std::unordered_map<std::string, QImage> lineCache_;
    qreal cacheDpr_ = 0;

    bool feedHeld_ = false;
};

}  // namespace mira::gui
