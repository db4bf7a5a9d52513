#pragma once

// What the two windows share: their layout unit, their font and their place
// on the screen.
//
// The windows are laid out in twips, the unit of the game tools' forms: 1440
// to the inch, so 15 twips are one pixel at 96 dpi. Qt works in
// device-independent pixels (96 dpi based), so the conversion is the same on
// every screen and Qt scales it for high-dpi displays.

#include <QFont>
#include <QGuiApplication>
#include <QStringList>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace tavrin::window {

constexpr int kTwipsPerPixel = 15;

// Twips to pixels, to the nearest pixel (430 twips give 29 px).
constexpr int Px(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

constexpr QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(Px(left), Px(top), Px(width), Px(height));
}

// The forms' typeface, "MS Sans Serif", at the given size. Where it is
// missing (everywhere but old Windows), the nearest in width that the system
// has: the captions are sized for it, and a wider face would clip them.
inline QFont FormFont(int points) {
    QFont font;
    font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans", "Nimbus Sans",
                      "Helvetica"});
    font.setPointSize(points);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

// Moves a top-level window to the middle of the screen it is on (the primary
// screen before it was first shown).
inline void CentreOnScreen(QWidget& window) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    window.move(area.center() - frame.center() + window.pos());
}

}  // namespace tavrin::window
