// The assembler editor `TeditFM`: the source text with its address column, the
// instruction picker, File and Code menus, find and replace, assembling and transferring
// to memory, and following the running program line by line.
#pragma once

#include <QColor>
#include <QFont>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <string>

#include "assembler/address_column.h"
#include "assembler/assembler.h"
#include "assembler/listing.h"
#include "assembler/recent_files.h"

class QAction;
class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QToolButton;

namespace mira::core {
class Machine;
}

namespace mira::gui {

class NumImage;
class TmiraFM;
class TmyMemo;

class TeditFM final : public QMainWindow {
    Q_OBJECT
public:
    explicit TeditFM(TmiraFM& mira, QWidget* parent = nullptr);
    ~TeditFM() override;

    static constexpr int kMinWidth = 500;
    static constexpr int kMinHeight = 250;
    static inline const QColor kColumnBackground{192, 192, 192};
    static constexpr int kColumnTextLeft = 2;
    // The margin's mark of a line with an error, at the column's right edge.
    static constexpr int kProblemMarkWidth = 7;
    static constexpr const char* kRecentSaveError =
        "ERROR: The recent files list could not be saved to ";
    // Typing, pasting, inserting or replacing that would pass the text's limit, and a
    // file too long to open.
    static constexpr const char* kTextLimitMessage =
        "ERROR: The editor holds at most 1,000,000 characters; the text was left as it was";
    static constexpr const char* kFileTooLongMessage =
        "ERROR: Failed to open program file\r\rIt has more than 1,000,000 characters, the "
        "most the editor holds";

    // --- operations other windows call ---
    void doInit();
    void HighLightLine(int line);
    void SelectCodeLine();
    void DisplayROMaddresses();
    std::string GetAssMemo(int index) const;
    std::string GetScreenData() const;
    void PutScreenData(const std::string& state);
    void GetPutAdmin(bool load);
    // The save query; true when the caller may go on.
    bool SaveQuery();

    // --- menu commands ---
    void New1Click();
    void Open1Click();
    void OpenLast1Click();
    void RecentFileClick(int index);
    bool Save1Click();
    bool SaveAs1Click();
    void Assemble1Click();
    void Transfer1Click();
    void SetPC1Click();
    void SetMemory1Click();
    void Find1Click();
    void Replace1Click();
    void Clean1Click();
    // Assembles and shows the listing with its symbol table (when the source assembles).
    void Listing1Click();

    // Loads a file (after any save query the caller ran); false after the error box.
    bool OpenFile(const QString& path);
    bool SaveFile(const QString& path, bool chosen);

    // --- find and replace (the dialogs drive these) ---
    struct Search {
        QString text;
        bool matchCase = false;
        bool wholeWord = false;
    };
    // Selects the next match from the selection's end; the error box when none.
    bool FindNext(const Search& s, bool reportMissing = true);
    // Replaces the selection when it is the find text, then finds the next match.
    void ReplaceNext(const Search& s, const QString& with);
    // Every match, from the caret to the end and once more from the start; returns how many.
    int ReplaceAll(const Search& s, const QString& with);
    // The index of the next match in `text` at or after `from`, -1 when none.
    static int findIn(const QString& text, const Search& s, int from);
    // The text the find and replace dialogs open with.
    QString initialSearchText() const;

    // --- the Problems list, margin marks and hovers ---
    QListWidget* problems() const { return problemsLB; }
    // Puts the caret on the row's line and column.
    void problemsLBClick(int row);
    // Whether the last assembly found an error on this line (the margin's mark).
    bool lineHasProblem(int line) const;
    // The hover text at a place of the text (line and column from 0).
    QString hoverAt(int line, int column) const;
    QDialog* listingDialog() const { return listingDlg_; }
    QPlainTextEdit* listingText() const { return listingText_; }

    // --- the instruction picker ---
    void pickGroup(int button);  // 0 mrSB, 1 acSB, 2 oprSB, 3 ioSB, 4 drSB
    void insLBClick(int row);
    void insLBDblClick(int row);

    // --- state ---
    TmyMemo* memo() const { return Memo1; }
    QListWidget* picker() const { return insLB; }
    QString fileName() const { return fileName_; }
    bool modified() const { return modified_; }
    bool animate() const { return animate_; }
    // Set while a load or clear settles; `changeTimer` ends it.
    bool ignoringChanges() const { return ignoreChanges_; }
    QString statusText(int panel) const;
    const assembler::RecentFiles& recentFiles() const { return recent_; }
    QDialog* findDialog() const { return findDialog_; }

    // The column as the numImage paints it.
    int columnWidth() const;
    const QFont& columnFont() const { return columnFont_; }
    void columnRow(int line, QString& text, QColor& colour);
    const assembler::AddressColumn& addressColumn();

    // File dialogs; tests replace them. Return an empty string for Cancel.
    std::function<QString(const QString& initial)> chooseOpenFile;
    std::function<QString(const QString& initial)> chooseSaveFile;
    std::function<QString(const QString& initial)> chooseListingFile;

Q_SIGNALS:
    // The memory view redraws its breakpoint marks / scrolls to an address.
    void breakpointsChanged();
    void memoryTopRequested(int address);

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void buildMenus();
    void buildPicker();
    void buildStatusBar();
    void buildProblems(QWidget* under);
    void showProblems(const std::vector<assembler::Diagnostic>& list);
    void saveListing();
    void setModeCaptions();
    void setCaption();
    void showWordCount();
    void showCaret();
    void setStatus(int panel, const QString& text);
    void rebuildRecentMenu();
    void clearAsNew(bool clearText);
    void textChanged();
    void changeTimerTimer();
    void memoDoubleClick();
    // The lowest address the line map gives the caret's line, -1 when none.
    int addressOfCaretLine() const;
    std::vector<std::string> sourceLines() const;
    bool handleKey(QKeyEvent* e, bool press);
    void openSearchDialog(bool replace);
    void replaceDialogClosed();

    TmiraFM& mira_;
    core::Machine& m_;

    TmyMemo* Memo1 = nullptr;
    NumImage* numImage = nullptr;
    QWidget* numPanel = nullptr;
    QWidget* Panel1 = nullptr;
    QToolButton* mrSB = nullptr;
    QToolButton* acSB = nullptr;
    QToolButton* oprSB = nullptr;
    QToolButton* ioSB = nullptr;
    QToolButton* drSB = nullptr;
    QListWidget* insLB = nullptr;
    QListWidget* problemsLB = nullptr;
    QDialog* listingDlg_ = nullptr;
    QPlainTextEdit* listingText_ = nullptr;
    std::vector<assembler::Diagnostic> problems_;
    std::vector<assembler::Symbol> symbols_;
    QLabel* panels_[6] = {};
    QMenu* RecentFiles1 = nullptr;
    QAction* RFile_[assembler::kRecentFilesMax] = {};
    QTimer changeTimer;
    QFont columnFont_;

    QString fileName_;
    bool modified_ = false;
    bool animate_ = false;
    bool ignoreChanges_ = false;
    bool utf8_ = true;        // how the file was read, and is written back
    bool crlf_ = false;
    int pickerGroup_ = 0;
    assembler::RecentFiles recent_;
    bool recentLoaded_ = false;
    assembler::AddressColumn column_;
    bool columnDirty_ = true;
    assembler::Dialect columnDialect_ = assembler::Dialect::Normal;

    QDialog* findDialog_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QLineEdit* replaceEdit_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QCheckBox* wholeWord_ = nullptr;
    bool replaceMode_ = false;
    int caretAtOpen_ = 0;
};

}  // namespace mira::gui
