#pragma once

// Where the main window's 1024 x 746 layout stands inside a window of any
// size. The layout was drawn for a 1024 x 768 screen; on a larger window it
// stands centred, on a smaller one it is scaled down uniformly so that all of
// it stays on screen and pressable. It is never scaled up: the window's
// logical pixels already carry the screen's own scale factor.
//
// Every layout coordinate is mapped edge by edge, so that neighbouring
// pictures still meet without a gap or an overlap at any scale.

#include "art/PictureTable.h"

#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>

class Canvas final {
public:
    static constexpr QSize LayoutSize = PictureTable::LayoutSize;

    explicit Canvas(QSize window);

    double Scale() const { return m_scale; }
    // The layout's own area, in window coordinates.
    QRect Area() const { return m_area; }

    QRect Map(const QRect& layout) const;
    QRegion Map(const QRegion& layout) const;
    // A length of the layout, such as a font's pixel size; at least 1.
    int MapLength(int layout) const;

private:
    int MapX(int x) const;
    int MapY(int y) const;

    double m_scale = 1.0;
    QRect m_area;
};
