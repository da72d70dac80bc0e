#pragma once
// Where each page of the hyperlink tree goes in its drawing: the root on the left, and for each
// open page its children in one column to the right, centred on it. The drawing code supplies
// only text measurement; everything positional is decided here so it can be checked without a
// display.
//
// Pure functions over a tree the caller owns: they never change the tree, keep nothing between
// calls and may run on any thread the tree is not being changed on. A layout holds pointers into
// the tree and is stale once the tree is toggled or rebuilt. layoutTree() lets nothing escape:
// when memory runs out, or the measuring callback throws, it returns an empty layout.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "site/hyperlink_tree.h"

namespace tw::site {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

// Half-open: `right` and `bottom` are just outside. An empty rectangle takes no part in unions.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    bool contains(Point p) const {
        return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
    }
    Rect united(const Rect& other) const;
    Rect grown(int by) const { return {left - by, top - by, right + by, bottom + by}; }
    bool operator==(const Rect&) const = default;
};

enum class FontKind { Regular, Bold };

struct TextSize {
    int width = 0;
    int height = 0;
    std::string text;  // what is to be drawn: the shortened form when asked to elide
};

// Measures `text` in `font`. wrapWidth 0: one line as it is. Otherwise, with elideMiddle, one line
// shortened to fit wrapWidth (elidePathMiddle does that); without it, word-wrapped at wrapWidth
// (a word longer than that may make the result wider).
using MeasureText =
    std::function<TextSize(std::string_view text, FontKind font, int wrapWidth, bool elideMiddle)>;

// `text` when it is no wider than `available`; otherwise the front of it, "..." and its last
// path segment (from the last '/'), with as much of the front as fits. When even the last segment
// does not fit, "..." and as much of the text's end as fits. Never splits a UTF-8 sequence.
// Only std::bad_alloc, and what `advance` throws, leave it.
std::string elidePathMiddle(std::string_view text, int available,
                            const std::function<int(std::string_view)>& advance);

inline constexpr int kIconSize = 32;
inline constexpr int kTextColumnWidth = 68;  // from x + 32 to x + 100
inline constexpr int kColumnGap = 50;        // between a page's box and its children's column
inline constexpr int kSiblingGap = 10;
inline constexpr int kMargin = 5;  // around the whole drawing

struct NodeLayout {
    TreeNode* node = nullptr;
    int parent = -1;  // index in TreeLayout::nodes; -1 for the root
    Point position;   // the icon's top-left corner
    Rect icon;
    Rect hitLine;  // empty for the root, which no link leads to
    std::string hitText;
    Rect address;
    std::string addressText;  // shortened to the column
    Rect title;
    std::string titleText;       // "(no title)" when the page has none
    Rect box;                    // the icon and the three texts
    std::optional<Rect> toggle;  // the open/close box, for a page with links
    bool open = false;
};

struct Line {
    Point from;
    Point to;
};

struct TreeLayout {
    // The root, then depth first: each open page followed by its children. A click is looked up
    // in this order.
    std::vector<NodeLayout> nodes;
    std::vector<Line> lines;  // parent to child, one for each node but the root
    Rect bounds;              // every box, with the margin; its size is the scrollable size
};

// Lays the visible part of the tree out: the root and, following the open branch from it, the
// children of the open page of each level (the last one when several are marked open, which the
// tree's toggle rule does not let happen). The root is moved down so the drawing's top is 0.
// `textColumn` is the width the address and the title are fitted to; a font wider than the
// one the column was made for asks for a wider one.
TreeLayout layoutTree(TreeNode& root, const MeasureText& measure,
                      int textColumn = kTextColumnWidth);

// The node whose open/close box, one pixel larger on every side, holds `p` (tree coordinates);
// the first in the layout's order when several do. Null when none does.
TreeNode* toggleAt(const TreeLayout& layout, Point p);

}  // namespace tw::site
