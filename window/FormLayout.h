#pragma once

// What the windows share: the progress window's layout unit and font, and
// every window's place on the screen.
//
// The progress window is laid out in twips, the unit of the game tools' forms: 1440
// to the inch, so 15 twips are one pixel at 96 dpi. Qt works in
// device-independent pixels (96 dpi based), so the conversion is the same on
// every screen and Qt scales it for high-dpi displays.

#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QStringList>
#include <QRect>
#include <QScreen>
#include <QTableView>
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

// A table of one row per player: rows selected whole, sorted by a click on a
// header (first by `column`), each row one line of one height, set once, so
// the view never measures 65,536 of them; no row numbers.
inline void SetUpPlayerTable(QTableView& table, int column) {
    table.setSortingEnabled(true);
    table.sortByColumn(column, Qt::AscendingOrder);
    table.setSelectionBehavior(QAbstractItemView::SelectRows);
    table.setWordWrap(false);
    table.verticalHeader()->hide();
    table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table.verticalHeader()->setDefaultSectionSize(table.fontMetrics().height() + 6);
}

// Gives a top-level window its preferred size, or as much of it as the
// available area of its screen holds (at any scale factor: both are in
// device-independent pixels), and moves it into that area.
inline void FitOnScreen(QWidget& window, QSize preferred) {
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen) {
        window.resize(preferred);
        return;
    }
    const QRect area = screen->availableGeometry();
    // Room for the frame the window manager draws around it.
    const QSize frame(window.frameGeometry().size() - window.geometry().size());
    const QSize room(area.size() - frame.expandedTo(QSize(16, 48)));
    window.resize(preferred.boundedTo(room).expandedTo(window.minimumSizeHint().boundedTo(room)));
    QRect place(window.pos(), window.size() + frame);
    if (!area.contains(place)) {
        place.moveCenter(area.center());
        window.move(place.topLeft());
    }
}

}  // namespace tavrin::window
