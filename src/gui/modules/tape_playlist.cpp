#include "modules/tape_playlist.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace mira::gui {

TplFM::TplFM(devices::MagTape& mag, QWidget* parent) : QDialog(parent), mag_(mag) {
    setObjectName(QStringLiteral("plFM"));
    setWindowTitle(QStringLiteral("Playlist [") + QString::fromStdString(mag.tapeName()) +
                   QStringLiteral("]"));
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    QStringList lines;
    for (const std::string& l : mag.playlistLines()) lines << QString::fromStdString(l);
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    okSB = new QToolButton(this);
    okSB->setObjectName(QStringLiteral("okSB"));
    okSB->setText(QStringLiteral("OK"));
    okSB->setToolTip(QStringLiteral("Accept"));
    canSB = new QToolButton(this);
    canSB->setObjectName(QStringLiteral("canSB"));
    canSB->setText(QStringLiteral("Cancel"));
    canSB->setToolTip(QStringLiteral("Cancel"));
    connect(okSB, &QToolButton::clicked, this, &TplFM::okSBClick);
    connect(canSB, &QToolButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(okSB);
    buttons->addWidget(canSB);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo1);
    layout->addLayout(buttons);
    resize(320, 260);
}

void TplFM::okSBClick() {
    QString text = Memo1->toPlainText();
    // A final line break ends the last entry; it does not start another one.
    if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    std::vector<std::string> lines;
    if (!text.isEmpty())
        for (const QString& l : text.split(QLatin1Char('\n'))) lines.push_back(l.toStdString());
    if (mag_.setPlaylistLines(lines)) accept();
}

}  // namespace mira::gui
