#include "assembler/edit.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QSaveFile>
#include <QScreen>
#include <QDialogButtonBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QToolTip>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include "assembler/my_memo.h"
#include "assembler/source_text.h"
#include "assembler/symbols.h"
#include "core/atomic_file.h"
#include "core/data_dir.h"
#include "core/field_list.h"
#include "mira/mira.h"

namespace mira::gui {

namespace {

constexpr int kChangeTimerMs = 100;
constexpr int kPanel1Width = 131;
constexpr int kColumnChars = 8;
constexpr int kColumnFontPoints = 8;
constexpr int kScreenMargin = 40;
constexpr std::array<int, 6> kPanelWidths{70, 70, 100, 100, 85, 50};
// Tab stops in dialog units; a dialog unit is a quarter of the average character width.
constexpr std::array<int, 3> kTabStopsDu{48, 140, 200};
constexpr const char* kFileFilter = "Assembler Files (*.asm);;All Files (*)";

QFont courier() {
    QFont f(QStringLiteral("Courier New"), kColumnFontPoints);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

QString baseName(const QString& path) { return QFileInfo(path).completeBaseName(); }

}  // namespace

TeditFM::TeditFM(TmiraFM& mira, QWidget* parent)
    : QMainWindow(parent), mira_(mira), m_(mira.machine()) {
    setObjectName(QStringLiteral("editFM"));
    setMinimumSize(kMinWidth, kMinHeight);
    resize(640, 480);
    columnFont_ = courier();

    auto* editPanel = new QWidget(this);
    editPanel->setObjectName(QStringLiteral("editPanel"));
    auto* row = new QHBoxLayout(editPanel);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    numPanel = new QWidget(editPanel);
    numPanel->setObjectName(QStringLiteral("numPanel"));
    Memo1 = new TmyMemo(editPanel);
    Memo1->setFont(columnFont_);
    QPalette pal = Memo1->palette();
    pal.setColor(QPalette::Text, Qt::black);
    Memo1->setPalette(pal);
    {
        QTextOption opt = Memo1->document()->defaultTextOption();
        const qreal du = QFontMetricsF(columnFont_).averageCharWidth() / 4.0;
        QList<QTextOption::Tab> tabs;
        for (int stop : kTabStopsDu) tabs.append(QTextOption::Tab(stop * du, QTextOption::LeftTab));
        opt.setTabs(tabs);
        Memo1->document()->setDefaultTextOption(opt);
    }
    numImage = new NumImage(*this, *Memo1, numPanel);
    auto* numLayout = new QVBoxLayout(numPanel);
    numLayout->setContentsMargins(0, 0, 0, 0);
    numLayout->addWidget(numImage);
    numPanel->setFixedWidth(columnWidth());
    Panel1 = new QWidget(editPanel);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(kPanel1Width);
    row->addWidget(numPanel);
    row->addWidget(Memo1, 1);
    row->addWidget(Panel1);
    buildProblems(editPanel);

    buildPicker();
    buildStatusBar();
    buildMenus();

    changeTimer.setInterval(kChangeTimerMs);
    changeTimer.setSingleShot(false);
    connect(&changeTimer, &QTimer::timeout, this, &TeditFM::changeTimerTimer);
    connect(Memo1->document(), &QTextDocument::contentsChanged, this, &TeditFM::textChanged);
    connect(Memo1, &QPlainTextEdit::cursorPositionChanged, this, &TeditFM::showCaret);
    connect(Memo1, &QPlainTextEdit::updateRequest, this, [this](const QRect&, int dy) {
        if (dy) numImage->update();
    });
    connect(Memo1->verticalScrollBar(), &QScrollBar::valueChanged, numImage,
            qOverload<>(&QWidget::update));
    connect(Memo1, &TmyMemo::doubleClicked, this, &TeditFM::memoDoubleClick);
    connect(Memo1, &TmyMemo::textLimitHit, this,
            [this] { mira_.prompter().error(kTextLimitMessage); });
    // Keys reach the window before its controls.
    Memo1->installEventFilter(this);
    insLB->installEventFilter(this);
    // Hovers: the text's viewport receives the tooltip events.
    Memo1->viewport()->installEventFilter(this);

    chooseOpenFile = [this](const QString& initial) {
        QFileDialog d(this, QStringLiteral("Open Assembler File"), QString(), QString::fromLatin1(kFileFilter));
        d.setObjectName(QStringLiteral("OpenDialog1"));
        d.setDefaultSuffix(QStringLiteral("asm"));
        d.setFileMode(QFileDialog::ExistingFile);
        d.selectFile(initial);
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                           : QString();
    };
    chooseSaveFile = [this](const QString& initial) {
        QFileDialog d(this, QStringLiteral("Save Assembler File"), QString(), QString::fromLatin1(kFileFilter));
        d.setObjectName(QStringLiteral("SaveDialog1"));
        d.setDefaultSuffix(QStringLiteral("asm"));
        d.setAcceptMode(QFileDialog::AcceptSave);
        d.selectFile(initial);
        return d.exec() == QDialog::Accepted && !d.selectedFiles().isEmpty() ? d.selectedFiles().first()
                                                                           : QString();
    };
    chooseListingFile = [this](const QString& initial) {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save Listing"), initial,
                                            QStringLiteral("Listing Files (*.lst);;All Files (*)"));
    };
    setModeCaptions();
    setCaption();
}

TeditFM::~TeditFM() = default;

// --- building ---

void TeditFM::buildMenus() {
    auto add = [this](QMenu* menu, const char* name, const char* caption, QKeySequence key = {}) {
        QAction* a = menu->addAction(QString::fromLatin1(caption));
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty()) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::WindowShortcut);
        }
        return a;
    };
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File1"));
    connect(add(file, "New1", "New", QKeySequence(Qt::CTRL | Qt::Key_N)), &QAction::triggered, this,
            &TeditFM::New1Click);
    connect(add(file, "Open1", "Open", QKeySequence(Qt::CTRL | Qt::Key_O)), &QAction::triggered,
            this, &TeditFM::Open1Click);
    connect(add(file, "OpenLast1", "Open Last", QKeySequence(Qt::CTRL | Qt::Key_L)),
            &QAction::triggered, this, &TeditFM::OpenLast1Click);
    RecentFiles1 = file->addMenu(QStringLiteral("Recent Files"));
    RecentFiles1->setObjectName(QStringLiteral("RecentFiles1"));
    for (int i = 0; i < assembler::kRecentFilesMax; ++i) {
        RFile_[i] = RecentFiles1->addAction(QString());
        RFile_[i]->setObjectName(QStringLiteral("RFile%1").arg(i + 1));
        connect(RFile_[i], &QAction::triggered, this, [this, i] { RecentFileClick(i); });
    }
    connect(add(file, "Save1", "Save", QKeySequence(Qt::CTRL | Qt::Key_S)), &QAction::triggered,
            this, [this] { Save1Click(); });
    connect(add(file, "SaveAs1", "Save As", QKeySequence(Qt::CTRL | Qt::Key_F)),
            &QAction::triggered, this, [this] { SaveAs1Click(); });
    file->addSeparator();
    connect(add(file, "Help1", "Help"), &QAction::triggered, &mira_, &TmiraFM::HelpClick);
    file->addSeparator();
    connect(add(file, "Exit1", "Exit", QKeySequence(Qt::CTRL | Qt::Key_X)), &QAction::triggered,
            this, &QWidget::close);

    QMenu* code = menuBar()->addMenu(QStringLiteral("Code"));
    code->setObjectName(QStringLiteral("Code1"));
    connect(add(code, "Assemble1", "Assemble", QKeySequence(Qt::Key_F9)), &QAction::triggered,
            this, &TeditFM::Assemble1Click);
    connect(add(code, "Transfer1", "Transfer To Memory", QKeySequence(Qt::Key_F10)),
            &QAction::triggered, this, &TeditFM::Transfer1Click);
    code->addSeparator();
    connect(add(code, "SetPC1", "Set PC at cursor"), &QAction::triggered, this,
            &TeditFM::SetPC1Click);
    connect(add(code, "SetMemory1", "Set memory at cursor"), &QAction::triggered, this,
            &TeditFM::SetMemory1Click);
    code->addSeparator();
    connect(add(code, "Find1", "Find", QKeySequence(Qt::Key_F3)), &QAction::triggered, this,
            &TeditFM::Find1Click);
    connect(add(code, "Replace1", "Replace", QKeySequence(Qt::Key_F4)), &QAction::triggered, this,
            &TeditFM::Replace1Click);
    connect(add(code, "Clean1", "Clean", QKeySequence(Qt::Key_F12)), &QAction::triggered, this,
            &TeditFM::Clean1Click);
    code->addSeparator();
    connect(add(code, "Listing1", "Listing"), &QAction::triggered, this, &TeditFM::Listing1Click);
    rebuildRecentMenu();
}

void TeditFM::buildPicker() {
    auto* col = new QVBoxLayout(Panel1);
    col->setContentsMargins(2, 2, 2, 2);
    col->setSpacing(1);
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    auto button = [&](QToolButton*& b, const char* name, const char* caption, int id) {
        b = new QToolButton(Panel1);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(QString::fromLatin1(caption));
        b->setCheckable(true);
        b->setAutoRaise(false);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        b->setFocusPolicy(Qt::NoFocus);
        group->addButton(b, id);
        col->addWidget(b);
        connect(b, &QToolButton::clicked, this, [this, id] { pickGroup(id); });
    };
    button(mrSB, "mrSB", "Memory Reference", 0);
    button(acSB, "acSB", "Value", 1);
    button(oprSB, "oprSB", "OPR", 2);
    button(ioSB, "ioSB", "Input / Output", 3);
    button(drSB, "drSB", "Directives", 4);
    insLB = new QListWidget(Panel1);
    insLB->setObjectName(QStringLiteral("insLB"));
    insLB->setToolTip(QStringLiteral("Double click to add instruction"));
    insLB->setFont(columnFont_);
    col->addWidget(insLB, 1);
    connect(insLB, &QListWidget::currentRowChanged, this, &TeditFM::insLBClick);
    connect(insLB, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { insLBDblClick(insLB->row(item)); });
}

void TeditFM::buildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    bar->setSizeGripEnabled(true);
    for (int i = 0; i < 6; ++i) {
        panels_[i] = new QLabel(bar);
        panels_[i]->setObjectName(QStringLiteral("panel%1").arg(i));
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setMinimumWidth(kPanelWidths[static_cast<size_t>(i)]);
        if (i < 5) panels_[i]->setFixedWidth(kPanelWidths[static_cast<size_t>(i)]);
        bar->addWidget(panels_[i], i == 5 ? 1 : 0);
    }
}

void TeditFM::buildProblems(QWidget* above) {
    auto* split = new QSplitter(Qt::Vertical, this);
    split->setObjectName(QStringLiteral("problemsSplitter"));
    split->setChildrenCollapsible(false);
    split->addWidget(above);
    auto* box = new QWidget(split);
    auto* col = new QVBoxLayout(box);
    col->setContentsMargins(2, 2, 2, 0);
    col->setSpacing(1);
    auto* title = new QLabel(QStringLiteral("Problems"), box);
    col->addWidget(title);
    problemsLB = new QListWidget(box);
    problemsLB->setObjectName(QStringLiteral("problemsLB"));
    problemsLB->setToolTip(QStringLiteral("Click to go to the error"));
    col->addWidget(problemsLB, 1);
    split->addWidget(box);
    split->setStretchFactor(0, 4);
    split->setStretchFactor(1, 1);
    // Room for a few errors without taking the text's place.
    split->setSizes({360, 90});
    setCentralWidget(split);
    connect(problemsLB, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { problemsLBClick(problemsLB->row(item)); });
    connect(problemsLB, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { problemsLBClick(problemsLB->row(item)); });
}

void TeditFM::showProblems(const std::vector<assembler::Diagnostic>& list) {
    problems_ = list;
    problemsLB->clear();
    for (const auto& d : problems_) {
        const QString where = d.line >= 0 ? QStringLiteral("line %1, column %2: ").arg(d.line + 1).arg(d.column)
                                          : QString();
        problemsLB->addItem(where + QString::fromStdString(d.detail));
    }
    numImage->update();
}

void TeditFM::problemsLBClick(int row) {
    if (row < 0 || row >= static_cast<int>(problems_.size())) return;
    const auto& d = problems_[static_cast<size_t>(row)];
    const QTextBlock b = Memo1->document()->findBlockByNumber(d.line);
    if (d.line < 0 || !b.isValid()) return;
    QTextCursor c(b);
    c.setPosition(b.position() + std::clamp(d.column - 1, 0, b.length() - 1));
    Memo1->setTextCursor(c);
    Memo1->ensureCursorVisible();
    Memo1->setFocus();
}

bool TeditFM::lineHasProblem(int line) const {
    return std::any_of(problems_.begin(), problems_.end(),
                       [line](const assembler::Diagnostic& d) { return d.line == line; });
}

QString TeditFM::hoverAt(int line, int column) const {
    const std::string text = GetAssMemo(line);
    const auto dialect = m_.isWif() ? assembler::Dialect::Wif : assembler::Dialect::Normal;
    return QString::fromStdString(
        assembler::hoverText(QString::fromStdString(text).toLatin1().toStdString(), column, dialect,
                             mira_.instructionTable(), symbols_));
}

void TeditFM::Listing1Click() {
    Assemble1Click();
    auto& a = mira_.assembler();
    if (!a.assembled()) return;
    const bool wif = m_.isWif();
    const QString text = QString::fromStdString(
        assembler::formatListing(a, sourceLines(), m_.options.radix[wif ? 1 : 0]));
    if (!listingDlg_) {
        listingDlg_ = new QDialog(this);
        listingDlg_->setObjectName(QStringLiteral("listingDlg"));
        listingDlg_->resize(640, 520);
        auto* col = new QVBoxLayout(listingDlg_);
        listingText_ = new QPlainTextEdit(listingDlg_);
        listingText_->setObjectName(QStringLiteral("listingText"));
        listingText_->setReadOnly(true);
        listingText_->setLineWrapMode(QPlainTextEdit::NoWrap);
        listingText_->setFont(columnFont_);
        col->addWidget(listingText_, 1);
        auto* buttons = new QDialogButtonBox(listingDlg_);
        QPushButton* save = buttons->addButton(QStringLiteral("Save As..."), QDialogButtonBox::ActionRole);
        save->setObjectName(QStringLiteral("listingSaveSB"));
        QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
        close->setObjectName(QStringLiteral("canSB"));
        col->addWidget(buttons);
        connect(save, &QPushButton::clicked, this, &TeditFM::saveListing);
        connect(close, &QPushButton::clicked, listingDlg_, &QDialog::close);
    }
    listingDlg_->setWindowTitle(QStringLiteral("Listing - [") + baseName(fileName_) + QLatin1Char(']'));
    listingText_->setPlainText(text);
    listingDlg_->show();
    listingDlg_->raise();
}

void TeditFM::saveListing() {
    const QString initial = fileName_.isEmpty() ? QStringLiteral("*.lst")
                                                : QFileInfo(fileName_).path() + QLatin1Char('/') +
                                                      baseName(fileName_) + QStringLiteral(".lst");
    const QString path = chooseListingFile ? chooseListingFile(initial) : QString();
    if (path.isEmpty()) return;
    const std::string bytes = (listingText_->toPlainText() + QLatin1Char('\n')).toStdString();
    if (!core::writeFileAtomically(path.toStdString(), bytes))
        mira_.prompter().error(core::saveFailureText("ERROR: Failed to save listing file", path.toStdString()));
}

// --- captions and status ---

void TeditFM::setStatus(int panel, const QString& text) { panels_[panel]->setText(text); }

QString TeditFM::statusText(int panel) const { return panels_[panel]->text(); }

void TeditFM::setCaption() {
    setWindowTitle((m_.isWif() ? QStringLiteral("MIRA-8 WIF Assembler - [")
                               : QStringLiteral("MIRA-8 Assembler - [")) +
                   baseName(fileName_) + QLatin1Char(']'));
}

void TeditFM::setModeCaptions() {
    const bool wif = m_.isWif();
    acSB->setVisible(wif);
    mrSB->setText(wif ? QStringLiteral("Register") : QStringLiteral("Memory Reference"));
    oprSB->setText(wif ? QStringLiteral("General") : QStringLiteral("OPR"));
}

void TeditFM::showWordCount() {
    const auto& a = mira_.assembler();
    setStatus(3, QStringLiteral("Words: %1").arg(a.assembled() ? a.wordCount() : 0));
}

void TeditFM::showCaret() {
    const QTextCursor c = Memo1->textCursor();
    setStatus(0, QStringLiteral("  %1: %2").arg(c.blockNumber() + 1).arg(c.positionInBlock() + 1));
}

void TeditFM::doInit() {
    mira_.assembler().discard();
    animate_ = false;
    setStatus(1, QString());
    // The list is read once; a later doInit (a mode change) keeps what was added since.
    if (!recentLoaded_) {
        GetPutAdmin(true);
        recentLoaded_ = true;
    }
    columnDirty_ = true;
    numPanel->setFixedWidth(columnWidth());
    showCaret();
    setModeCaptions();
    pickGroup(0);
    setCaption();
    DisplayROMaddresses();
    showWordCount();
}

// --- the picker ---

void TeditFM::pickGroup(int button) {
    QToolButton* buttons[] = {mrSB, acSB, oprSB, ioSB, drSB};
    if (button < 0 || button > 4) return;
    pickerGroup_ = button;
    buttons[button]->setChecked(true);
    insLB->clear();
    const auto dialect = m_.isWif() ? assembler::Dialect::Wif : assembler::Dialect::Normal;
    if (button == 4) {
        const auto table = assembler::directiveTable(dialect);
        // The last entry is the reserving filler, which is not written by hand.
        for (size_t i = 0; i + 1 < table.size(); ++i)
            insLB->addItem(QString::fromLatin1(table[i].name.data(),
                                               static_cast<qsizetype>(table[i].name.size())));
        return;
    }
    for (const auto& r : mira_.instructionTable().records)
        if (!r.mnemonic.empty() && r.group == button)
            insLB->addItem(QString::fromStdString(r.mnemonic));
}

void TeditFM::insLBClick(int row) {
    if (row < 0 || row >= insLB->count()) return;
    const QString name = insLB->item(row)->text();
    QString help;
    if (pickerGroup_ == 4) {
        const auto dialect = m_.isWif() ? assembler::Dialect::Wif : assembler::Dialect::Normal;
        for (const auto& d : assembler::directiveTable(dialect))
            if (name == QLatin1String(d.name.data(), static_cast<qsizetype>(d.name.size())))
                help = QString::fromLatin1(d.help.data(), static_cast<qsizetype>(d.help.size()));
    } else {
        const auto& t = mira_.instructionTable();
        const int k = t.indexOf(name.toStdString());
        if (k >= 0) help = QString::fromStdString(t.records[static_cast<size_t>(k)].description);
    }
    setStatus(5, help);
}

void TeditFM::insLBDblClick(int row) {
    if (row < 0 || row >= insLB->count()) return;
    const QString item = insLB->item(row)->text();
    const bool isConst = item == QLatin1String("_CONST");
    const QString onItsOwn = isConst ? item + QLatin1Char('\t') : QLatin1Char('\t') + item;
    QTextCursor c = Memo1->textCursor();
    if (!Memo1->admits(c.selectedText().size(), onItsOwn.size())) return;
    if (Memo1->document()->isEmpty()) {
        c.insertText(onItsOwn);
    } else {
        const QString line = c.block().text();
        const int col = c.positionInBlock();
        if (line.isEmpty()) {
            c.insertText(onItsOwn);
        } else {
            const int comment = line.indexOf(QLatin1String("//"));
            if (comment >= 0 && col > comment) {
                Memo1->setFocus();
                return;
            }
            if (col >= line.size()) c.movePosition(QTextCursor::EndOfBlock);
            c.insertText(item);
        }
    }
    Memo1->setTextCursor(c);
    Memo1->setFocus();
}

// --- text changes and the column ---

void TeditFM::textChanged() {
    if (!ignoreChanges_) {
        modified_ = true;
        setStatus(2, QStringLiteral("Modified"));
        animate_ = false;
        setStatus(1, QString());
    }
    columnDirty_ = true;
    numImage->update();
}

void TeditFM::changeTimerTimer() {
    ignoreChanges_ = false;
    changeTimer.stop();
}

std::vector<std::string> TeditFM::sourceLines() const {
    std::vector<std::string> lines;
    const QTextDocument* doc = Memo1->document();
    lines.reserve(static_cast<size_t>(doc->blockCount()));
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        lines.push_back(b.text().toLatin1().toStdString());
    // An empty text is no lines at all.
    if (lines.size() == 1 && lines[0].empty()) lines.clear();
    return lines;
}

const assembler::AddressColumn& TeditFM::addressColumn() {
    const auto dialect = m_.isWif() ? assembler::Dialect::Wif : assembler::Dialect::Normal;
    if (columnDirty_ || dialect != columnDialect_) {
        column_.update(sourceLines(), dialect);
        columnDialect_ = dialect;
        columnDirty_ = false;
    }
    return column_;
}

int TeditFM::columnWidth() const {
    return kColumnChars * QFontMetrics(columnFont_).horizontalAdvance(QLatin1Char('0')) +
           kColumnTextLeft + kProblemMarkWidth;
}

void TeditFM::columnRow(int line, QString& text, QColor& colour) {
    const auto& column = addressColumn();
    const assembler::ColumnRow row = column.row(line);
    const bool wif = m_.isWif();
    text = QString::fromStdString(assembler::formatRow(
        row, wif ? assembler::Dialect::Wif : assembler::Dialect::Normal, m_.options.radix[wif ? 1 : 0]));
    colour = Qt::black;
    if (animate_ && row.kind == assembler::ColumnRow::Kind::Address && row.value >= 0 &&
        row.value < core::kMaxMemory && m_.breakpoints[static_cast<size_t>(row.value)])
        colour = m_.options.ignoreBreakpoints ? QColor(Qt::darkGreen) : QColor(Qt::red);
}

void TeditFM::DisplayROMaddresses() { numImage->update(); }

std::string TeditFM::GetAssMemo(int index) const {
    const QTextBlock b = Memo1->document()->findBlockByNumber(index);
    if (index < 0 || !b.isValid()) return {};
    return b.text().toStdString();
}

// --- following the program ---

void TeditFM::HighLightLine(int line) {
    QTextCursor c = Memo1->textCursor();
    const QTextBlock b = Memo1->document()->findBlockByNumber(line);
    if (line < 0 || !b.isValid()) {
        c.clearSelection();
        Memo1->setTextCursor(c);
        return;
    }
    c.setPosition(b.position());
    c.setPosition(b.position() + b.length() - 1, QTextCursor::KeepAnchor);
    Memo1->setTextCursor(c);
    Memo1->ensureCursorVisible();
    Memo1->setFocus();
}

void TeditFM::SelectCodeLine() {
    if (!isVisible() || !animate_) return;
    const int pc = m_.pc;
    if (pc < 0 || pc >= core::kMaxMemory) return;
    HighLightLine(mira_.assembler().lineMap()[static_cast<size_t>(pc)]);
}

int TeditFM::addressOfCaretLine() const {
    const int line = Memo1->textCursor().blockNumber();
    const auto& map = mira_.assembler().lineMap();
    for (int a = 0; a < core::kMaxMemory; ++a)
        if (map[static_cast<size_t>(a)] == line) return a;
    return -1;
}

void TeditFM::SetPC1Click() {
    if (!animate_) return;
    const int a = addressOfCaretLine();
    if (a < 0) return;
    m_.pc = a;
    m_.changed |= core::kChangePc;
    // Not a run: the lamp latch follows at once, live display or not.
    m_.latchLamps(core::kChangePc);
    mira_.runControl().publish();
}

void TeditFM::SetMemory1Click() {
    if (!animate_) return;
    const int a = addressOfCaretLine();
    if (a >= 0) Q_EMIT memoryTopRequested(a);
}

void TeditFM::memoDoubleClick() {
    if (!animate_) return;
    const int a = addressOfCaretLine();
    if (a < 0) return;
    auto& bp = m_.breakpoints[static_cast<size_t>(a)];
    bp = bp ? 0 : 1;
    Q_EMIT breakpointsChanged();
    DisplayROMaddresses();
}

// --- assembling ---

void TeditFM::Assemble1Click() {
    auto& a = mira_.assembler();
    const int firstVisible = Memo1->firstVisible().blockNumber();
    const int wordsBefore = a.wordCount();
    const bool wifBefore = m_.isWif();
    const std::vector<std::string> lines = sourceLines();
    const auto result = a.Assemble(lines, m_, mira_.prompter());
    symbols_ = assembler::symbolTable(a, lines);
    showProblems(result.diagnostics);
    if (result.line >= 0) {
        HighLightLine(result.line);
    } else {
        QTextCursor c = Memo1->textCursor();
        c.setPosition(Memo1->document()->findBlockByNumber(std::max(0, firstVisible)).position());
        Memo1->setTextCursor(c);
        Memo1->ensureCursorVisible();
    }
    animate_ = false;
    setStatus(1, QString());
    if (result.modeChanged || m_.isWif() != wifBefore) {
        // A query switched the mode: everything the options dialog's mode change does, so
        // the views, captions and module windows follow.
        mira_.ChangeMode(m_.options.mode);
        mira_.ApplyMode();
    }
    mira_.SetAuxLamps();
    if (a.wordCount() != wordsBefore) m_.breakpoints.fill(0);
    Q_EMIT breakpointsChanged();
    DisplayROMaddresses();
    showWordCount();
    mira_.runControl().publish();
}

void TeditFM::Transfer1Click() {
    if (!mira_.assembler().TransferToMemory(m_, mira_.prompter(), &mira_.runControl().trace))
        return;
    animate_ = true;
    setStatus(1, QStringLiteral("Animate"));
    QTextCursor c = Memo1->textCursor();
    c.clearSelection();
    Memo1->setTextCursor(c);
    mira_.SetAuxLamps();
    Q_EMIT breakpointsChanged();
    DisplayROMaddresses();
    mira_.runControl().publish();
}

// --- files ---

bool TeditFM::SaveQuery() {
    if (!modified_) return true;
    switch (mira_.prompter().askYesNoCancel("Assembler file has changed\r\rSave changes?")) {
        case core::Answer::Yes: return Save1Click();
        case core::Answer::No: return true;
        case core::Answer::Cancel: return false;
    }
    return false;
}

void TeditFM::clearAsNew(bool clearText) {
    ignoreChanges_ = true;
    if (clearText) Memo1->clear();
    Memo1->setFocus();
    fileName_.clear();
    m_.breakpoints.fill(0);
    mira_.assembler().discard();
    Q_EMIT breakpointsChanged();
    showProblems({});
    symbols_.clear();
    modified_ = false;
    setStatus(2, QString());
    setCaption();
    animate_ = false;
    setStatus(1, QString());
    columnDirty_ = true;
    DisplayROMaddresses();
    changeTimer.start();
    showWordCount();
}

void TeditFM::New1Click() {
    if (!SaveQuery()) return;
    clearAsNew(true);
}

void TeditFM::Open1Click() {
    if (!SaveQuery()) return;
    const QString path = chooseOpenFile ? chooseOpenFile(QStringLiteral("*.asm")) : QString();
    if (!path.isEmpty()) OpenFile(path);
}

void TeditFM::OpenLast1Click() {
    if (!SaveQuery()) return;
    recent_.tidy();
    rebuildRecentMenu();
    if (!recent_.empty()) OpenFile(QString::fromStdString(recent_.paths().front()));
}

void TeditFM::RecentFileClick(int index) {
    if (index < 0 || index >= static_cast<int>(recent_.paths().size())) return;
    if (!SaveQuery()) return;
    const QString path = QString::fromStdString(recent_.paths()[static_cast<size_t>(index)]);
    if (!QFileInfo(path).isFile()) {
        mira_.prompter().info("File not found");
        recent_.tidy();
        rebuildRecentMenu();
        return;
    }
    OpenFile(path);
}

bool TeditFM::OpenFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        mira_.prompter().error("ERROR: Failed to open program file");
        return false;
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        mira_.prompter().error("ERROR: Failed to open program file");
        return false;
    }
    // Sources are plain 8-bit text; UTF-8 when they are valid UTF-8, Latin-1 otherwise.
    const assembler::SourceText source = assembler::decodeSourceText(
        std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    utf8_ = source.utf8;
    crlf_ = source.crlf;
    const QString text =
        QString::fromUtf8(source.text.data(), static_cast<qsizetype>(source.text.size()));
    if (text.size() > TmyMemo::kMaxChars) {
        mira_.prompter().error(kFileTooLongMessage);
        return false;
    }

    ignoreChanges_ = true;
    changeTimer.start();
    Memo1->setPlainText(text);
    clearAsNew(false);
    fileName_ = QFileInfo(path).absoluteFilePath();
    setCaption();
    recent_.add(fileName_.toStdString());
    rebuildRecentMenu();
    Memo1->setFocus();
    return true;
}

bool TeditFM::Save1Click() {
    if (fileName_.isEmpty()) return SaveAs1Click();
    return SaveFile(fileName_, false);
}

bool TeditFM::SaveAs1Click() {
    const QString initial = fileName_.isEmpty() ? QStringLiteral("*.asm") : fileName_;
    const QString path = chooseSaveFile ? chooseSaveFile(initial) : QString();
    if (path.isEmpty()) return false;
    return SaveFile(path, true);
}

bool TeditFM::SaveFile(const QString& path, bool chosen) {
    QString text = Memo1->toPlainText();
    if (!Memo1->document()->isEmpty()) text += QLatin1Char('\n');
    if (crlf_) text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    QSaveFile f(path);
    const QByteArray bytes = utf8_ ? text.toUtf8() : text.toLatin1();
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        mira_.prompter().error("Failed to save program file");
        return false;
    }
    fileName_ = QFileInfo(path).absoluteFilePath();
    setCaption();
    if (chosen) {
        recent_.add(fileName_.toStdString());
        rebuildRecentMenu();
    }
    modified_ = false;
    setStatus(2, QString());
    return true;
}

void TeditFM::rebuildRecentMenu() {
    const auto& paths = recent_.paths();
    for (int i = 0; i < assembler::kRecentFilesMax; ++i) {
        const bool used = i < static_cast<int>(paths.size());
        RFile_[i]->setVisible(used);
        RFile_[i]->setText(used ? QString::fromStdString(assembler::RecentFiles::caption(
                                      paths[static_cast<size_t>(i)]))
                                : QString());
    }
    RecentFiles1->menuAction()->setVisible(!paths.empty());
}

void TeditFM::GetPutAdmin(bool load) {
    const auto file = core::dataFile(assembler::kRecentFilesFileName);
    if (load) {
        recent_.load(file);
        rebuildRecentMenu();
    } else if (!recent_.save(file)) {
        // The list is the user's own trail through their files: a failed save is said.
        mira_.prompter().error(std::string(kRecentSaveError) + file.string());
    }
}

// --- window state ---

std::string TeditFM::GetScreenData() const {
    core::FieldListBuilder b;
    b.add(pos().x()).add(pos().y()).add(height()).add(width());
    b.add(isVisible() ? fileName_.toStdString() : std::string());
    return b.str();
}

void TeditFM::PutScreenData(const std::string& state) {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = s ? s->geometry().size() : QSize(1024, 768);
    const auto at = core::windowPositionFromState(state, screenSize.width(), screenSize.height());
    int h = core::parseInt(core::fieldAt(state, 2), 0);
    int w = core::parseInt(core::fieldAt(state, 3), 0);
    if (h < kMinHeight || h > screenSize.height() - kScreenMargin) h = kMinHeight;
    if (w < kMinWidth || w > screenSize.width() - kScreenMargin) w = kMinWidth;
    move(at.left, at.top);
    resize(w, h);
    const QString file = QString::fromStdString(core::fieldAt(state, 4));
    if (!file.isEmpty() && QFileInfo(file).isFile()) OpenFile(file);
}

// --- keys and closing ---

bool TeditFM::handleKey(QKeyEvent* e, bool press) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier) return false;
    auto& panel = mira_.panel();
    switch (e->key()) {
        case Qt::Key_F2:
            if (press && !e->isAutoRepeat()) mira_.USBClick();
            return true;
        case Qt::Key_F6:
            if (press && !e->isAutoRepeat()) panel.doLoadAddrDOWN();
            return true;
        case Qt::Key_F7:
            if (press && !e->isAutoRepeat()) panel.doSwitchRUN();
            return true;
        case Qt::Key_F8:
            // HALT held as long as the key: the picture of the switch stays as it is.
            if (!e->isAutoRepeat()) m_.switches[core::kSwitchHalt] = press ? 1 : 0;
            return true;
        default: return false;
    }
}

bool TeditFM::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
        case QEvent::KeyPress:
            if (handleKey(static_cast<QKeyEvent*>(e), true)) return true;
            break;
        case QEvent::KeyRelease:
            if (handleKey(static_cast<QKeyEvent*>(e), false)) return true;
            break;
        case QEvent::ToolTip:
            if (watched == Memo1->viewport()) {
                auto* help = static_cast<QHelpEvent*>(e);
                const QTextCursor c = Memo1->cursorForPosition(help->pos());
                // The cursor lands between characters: the one under the mouse is the one
                // whose left half holds it, so step back when the mouse is left of the gap.
                int column = c.positionInBlock();
                if (column > 0 && Memo1->cursorRect(c).left() > help->pos().x()) --column;
                const QString text = hoverAt(c.blockNumber(), column);
                if (text.isEmpty())
                    QToolTip::hideText();
                else
                    QToolTip::showText(help->globalPos(), text, Memo1->viewport());
                return true;
            }
            break;
        case QEvent::ShortcutOverride: {
            // The menu's Ctrl+X (Exit) and Ctrl+F/Ctrl+L win over the text control's own keys.
            auto* k = static_cast<QKeyEvent*>(e);
            if (k->modifiers() == Qt::ControlModifier &&
                (k->key() == Qt::Key_X || k->key() == Qt::Key_F || k->key() == Qt::Key_L))
                return true;
            break;
        }
        default: break;
    }
    return QMainWindow::eventFilter(watched, e);
}

void TeditFM::closeEvent(QCloseEvent* e) {
    if (!SaveQuery()) {
        e->ignore();
        return;
    }
    modified_ = false;
    clearAsNew(true);
    GetPutAdmin(false);
    e->accept();
}

}  // namespace mira::gui
