// The printer's artwork, drawn in code at a device pixel ratio: the printer body with its
// paper slot and feed button, the platen roll, the cover over the mechanism and the
// pressed feed button. Sizes and places are those of the printer window.
#pragma once

#include <QImage>
#include <QRect>

namespace mira::gui::prntrart {

inline constexpr int kWindowWidth = 392;
inline constexpr int kWindowHeight = 253;
inline constexpr QRect kPaperRect{122, 0, 150, 113};
inline constexpr QRect kRollRect{100, 101, 198, 14};
inline constexpr QRect kCoverRect{103, 112, 192, 109};
inline constexpr int kFeedDownX = 313;
inline constexpr int kFeedHiddenX = 500;  // outside the window while released
inline constexpr int kFeedY = 177;
inline constexpr int kFeedWidth = 18;
inline constexpr int kFeedHeight = 9;
inline constexpr int kLabelTop = 222;
inline constexpr int kLabelHeight = 16;
// The printer's body; the window's corners outside it are the desk.
inline constexpr QRect kBodyRect{60, 96, 300, 152};

QImage makeBody(qreal dpr);
QImage makeRoll(qreal dpr);
QImage makeCover(qreal dpr);
QImage makeFeedDown(qreal dpr);

}  // namespace mira::gui::prntrart
