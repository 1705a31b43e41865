// The KeyPad 2 window: twenty-four keys whose captions and values come from the key table,
// the key data menu (captions dialog, load and save of key files), its labels and place.
#pragma once

#include <QMenu>
#include <QRect>
#include <QWidget>
#include <optional>

#include "devices/keypad2.h"
#include "modules/module_picture.h"
#include "modules/module_window.h"

class QLabel;

namespace mira::gui {

class TkeypadFM : public ModuleWindow,
                  public devices::Keypad2Host,
                  public devices::KeyFileDialogs,
                  public PictureOwner {
  public:
    static constexpr int kWidth = 303;
    static constexpr int kHeight = 289;
    static constexpr int kKeySize = 33;

    explicit TkeypadFM(const ModuleEnv& env);
    ~TkeypadFM() override;

    devices::Keypad2& keypad() { return pad_; }
    devices::KeyTable& keyTable() { return table_; }
    static QRect keyRect(int key);
    // The hint of a key: its value in the display radix with its prefix.
    QString keyHint(int key) const;

    void PutDevice(int slot) { pad_.PutDevice(slot); }
    int GetDevice() const { return pad_.GetDevice(); }
    void doInit() { pad_.doInit(); }
    void doReset(int level) { pad_.doReset(level); }

    // ModuleWindow
    std::string GetScreenData() const override;
    void PutScreenData(const std::string& text) override;
    void bindSlot(int slot) override { PutDevice(slot); }
    int boundSlot() const override { return GetDevice(); }
    void initFromMenu() override { doInit(); }
    // Bound without doInit the slot would offer a key nobody pressed.
    void initForReopen(int) override { doInit(); }
    void readSettings(const core::SettingsFile& settings) override;
    void writeSettings(core::SettingsFile& settings) const override;
    void beforeSettingsSave() override;
    void closeForModeChange() override;
    std::string GetFileName() const { return pad_.GetFileName(); }
    void PutFileName(const std::string& label) { pad_.PutFileName(label); }
    // Settings line 009: the key table with the file label.
    std::string GetKeyTableLine() const;
    void PutKeyTableLine(const std::string& line);

    void Set1Click();
    void Load1Click();
    void Save1Click();
    // Tests answer the file dialogs through this; null restores the real ones.
    void setFileDialogs(devices::KeyFileDialogs* dialogs) { dialogs_ = dialogs; }

    QMenu* popupMenu() const { return PopupMenu1; }
    QLabel* label() const { return devLabel; }
    QLabel* fileLabel() const { return filLabel; }
    QWidget* image() const;

    // Keypad2Host
    void refreshKeys() override;
    void drawLabels() override;
    bool windowVisible() const override { return isVisible(); }
    // KeyFileDialogs
    std::optional<std::filesystem::path> openPath() override;
    std::optional<std::filesystem::path> savePath() override;

  protected:
    void closeEvent(QCloseEvent* e) override;

  private:
    void paintKeypad(QPainter& p);
    // PictureOwner
    void paintPicture(QPainter& p) override { paintKeypad(p); }
    void pictureMousePress(QMouseEvent* e) override { imageMouseDown(e); }
    void pictureMouseMove(QMouseEvent* e) override { dragMove(e); }
    void pictureMouseRelease(QMouseEvent* e) override { imageMouseUp(e); }
    void pictureContextMenu(QContextMenuEvent* e) override { PopupMenu1->popup(e->globalPos()); }
    std::optional<QString> pictureToolTip(QPoint pos) const override {
        const int key = keyAt(pos);
        return key >= 0 ? keyHint(key) : QString();
    }
    void imageMouseDown(QMouseEvent* e);
    void imageMouseUp(QMouseEvent* e);
    int keyAt(QPoint pos) const;
    devices::KeyFileDialogs& dialogs() { return dialogs_ ? *dialogs_ : *this; }

    devices::KeyTable table_ = devices::KeyTable::defaults();
    devices::Keypad2 pad_;
    devices::KeyFileDialogs* dialogs_ = nullptr;
    ModulePicture* keyImage = nullptr;
    QLabel* devLabel = nullptr;
    QLabel* filLabel = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QImage housing_;
    int downKey_ = -1;
    bool closing_ = false;  // asked already; the window closes whatever the answer
};

}  // namespace mira::gui
