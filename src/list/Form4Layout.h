#pragma once
// Where the larger list window puts its controls for an outer window size, in twips.

#include <QRect>
#include <array>

struct Form4Layout {
    QRect list;                    // ListView1
    std::array<int, 6> columns{};  // column widths, the last (the sort key) 0
    QRect label1, label2;
    QRect checkAll, uncheckAll;            // PushButton5, PushButton6
    QRect containing, notContaining;       // PushButton9, PushButton10
    QRect clearList, maximize;             // PushButton7, PushButton1
    QRect back;                            // PushButton4
};

// The list fills the window above two columns of buttons; the middle of "Clear List" lies 45
// twips left of half the window's width, the second column starts 120 twips after the first
// ends, and "< Back" spans both. Sizes below 330 by 3100 twips are laid out as that size, so
// no width or height is ever negative, and the buttons never start left of the window (the
// window's minimum size keeps everything in view).
Form4Layout layoutForm4(int outerWidth, int outerHeight);

// The smallest outer size at which every control lies inside the window.
int form4MinimumOuterWidth();
int form4MinimumOuterHeight();
