#include "list/Form4Layout.h"

#include <QtGlobal>

namespace {

// The designed sizes, which the layout keeps.
constexpr int ListLeft = 120;
constexpr int ListTop = 120;
constexpr int LabelWidth = 3840;
constexpr int LabelHeight = 255;
constexpr int ButtonWidth = 3840;
constexpr int ButtonHeight = 405;
constexpr int BackWidth = 7800;
constexpr int Gap = 120;

constexpr int SmallestWidth = 330;
constexpr int SmallestHeight = 3100;

}  // namespace

Form4Layout layoutForm4(int outerWidth, int outerHeight)
{
    const int w = qMax(outerWidth, SmallestWidth);
    const int h = qMax(outerHeight, SmallestHeight);
    Form4Layout layout;
    const int listWidth = w - 330;
    layout.list = QRect(ListLeft, ListTop, listWidth, h - 3100);
    layout.columns = {listWidth / 6, listWidth / 5, listWidth / 5, listWidth / 5, listWidth / 5, 0};
    // In a window narrower than 3930 twips the rule would put the buttons left of it.
    const int left = qMax(0, w / 2 - ButtonWidth / 2 - 45);
    const int right = left + LabelWidth + Gap;
    layout.label1 = QRect(left, h - 2865, LabelWidth, LabelHeight);
    layout.label2 = QRect(right, h - 2865, LabelWidth, LabelHeight);
    layout.checkAll = QRect(left, h - 2505, ButtonWidth, ButtonHeight);
    layout.uncheckAll = QRect(right, h - 2505, ButtonWidth, ButtonHeight);
    layout.containing = QRect(left, h - 1995, ButtonWidth, ButtonHeight);
    layout.notContaining = QRect(right, h - 1995, ButtonWidth, ButtonHeight);
    layout.clearList = QRect(left, h - 1485, ButtonWidth, ButtonHeight);
    layout.maximize = QRect(right, h - 1485, ButtonWidth, ButtonHeight);
    layout.back = QRect(left, h - 975, BackWidth, ButtonHeight);
    return layout;
}

int form4MinimumOuterWidth()
{
    // The second column starts at w/2 - 1965 and is 7800 from the first column's start to its
    // own end: w/2 - 1965 + 7800 <= w.
    return 2 * (LabelWidth + Gap + ButtonWidth - (ButtonWidth / 2 + 45));
}

int form4MinimumOuterHeight()
{
    // Room for a few rows of the list above the labels.
    return SmallestHeight + 1200;
}
