#include "site/hyperlink_layout.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace tw::site {

Rect Rect::united(const Rect& other) const {
    if (other.empty()) return *this;
    if (empty()) return other;
    return {std::min(left, other.left), std::min(top, other.top), std::max(right, other.right),
            std::max(bottom, other.bottom)};
}

namespace {

constexpr std::string_view kEllipsis = "...";

bool continuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The largest n for which `text(n)` fits, stepping only to character boundaries of `source`.
// Widths grow with n, so a binary search over the boundaries would do; addresses are short
// enough that the plain walk costs nothing and is obviously right.
template <typename Candidate>
std::string longestFitting(std::string_view source, bool fromFront, int available,
                           const std::function<int(std::string_view)>& advance,
                           const Candidate& text) {
    std::string best = text(0);
    for (std::size_t n = 1; n <= source.size(); ++n) {
        const std::size_t cut = fromFront ? n : source.size() - n;
        if (cut < source.size() && continuationByte(source[cut])) continue;
        std::string candidate = text(n);
        if (advance(candidate) > available) break;
        best = std::move(candidate);
    }
    return best;
}

// What the layout needs of a page, measured once: the sizes do not depend on where it is.
struct Measured {
    TreeNode* node = nullptr;
    TextSize hit;
    TextSize address;
    TextSize title;
    bool hasHitLine = false;
};

Measured measureNode(TreeNode& node, const MeasureText& measure, int column) {
    Measured m;
    m.node = &node;
    m.hasHitLine = node.parent != nullptr;
    if (m.hasHitLine)
        m.hit = measure(std::to_string(node.hits) + " hits (" + std::to_string(node.share) + "%)",
                        FontKind::Regular, 0, false);
    m.address = measure(node.url, FontKind::Bold, column, true);
    m.title = measure(node.title.empty() ? std::string_view("(no title)") : node.title,
                      FontKind::Regular, column, false);
    return m;
}

NodeLayout place(const Measured& m, Point at) {
    NodeLayout n;
    n.node = m.node;
    n.position = at;
    n.icon = {at.x, at.y, at.x + kIconSize, at.y + kIconSize};
    const int textLeft = at.x + kIconSize;
    int y = at.y;
    if (m.hasHitLine) {
        n.hitLine = {textLeft, y, textLeft + m.hit.width, y + m.hit.height};
        n.hitText = m.hit.text;
        y = n.hitLine.bottom;
    }
    n.address = {textLeft, y, textLeft + m.address.width, y + m.address.height};
    n.addressText = m.address.text;
    y = n.address.bottom;
    n.title = {textLeft, y, textLeft + m.title.width, y + m.title.height};
    n.titleText = m.title.text;
    n.box = n.icon.united(n.hitLine).united(n.address).united(n.title);
    const TreeNode& node = *m.node;
    // A page's link count is known before its children are built, so the box shows on pages
    // that were never opened.
    if (node.childCount > 0 || !node.children.empty())
        n.toggle = Rect{at.x + 2, at.y + 33, at.x + 10, at.y + 41};
    n.open = node.expanded;
    return n;
}

bool showsChildren(const TreeNode& node) {
    return node.built && node.expanded && !node.children.empty();
}

struct Pass {
    std::unordered_map<const TreeNode*, NodeLayout> placed;
    std::unordered_set<const TreeNode*> followed;  // the pages whose children were placed
};

Pass layOut(TreeNode& root, Point rootAt, std::unordered_map<const TreeNode*, Measured>& cache,
            const MeasureText& measure, int column) {
    auto measured = [&](TreeNode& node) -> const Measured& {
        auto it = cache.find(&node);
        if (it == cache.end()) it = cache.emplace(&node, measureNode(node, measure, column)).first;
        return it->second;
    };
    Pass pass;
    TreeNode* current = &root;
    pass.placed.emplace(current, place(measured(root), rootAt));
    while (current && showsChildren(*current)) {
        const NodeLayout& parent = pass.placed.at(current);
        int total = 0;
        for (const auto& child : current->children)
            total += place(measured(*child), {}).box.height();
        const int x = parent.position.x + parent.box.width() + kColumnGap;
        int y = parent.position.y - total / 2;
        TreeNode* next = nullptr;
        for (const auto& child : current->children) {
            NodeLayout n = place(measured(*child), {x, y});
            y += n.box.height() + kSiblingGap;
            pass.placed.emplace(child.get(), std::move(n));
            if (child->expanded) next = child.get();
        }
        pass.followed.insert(current);
        current = next;
    }
    return pass;
}

void collect(TreeNode& node, int parent, Pass& pass, TreeLayout& out) {
    const int index = static_cast<int>(out.nodes.size());
    NodeLayout n = std::move(pass.placed.at(&node));
    n.parent = parent;
    out.bounds = out.bounds.united(n.box);
    if (parent >= 0) {
        const NodeLayout& p = out.nodes[static_cast<std::size_t>(parent)];
        out.lines.push_back({{p.box.right, p.position.y + 16}, {n.position.x, n.position.y + 16}});
    }
    out.nodes.push_back(std::move(n));
    if (!pass.followed.count(&node)) return;
    for (const auto& child : node.children) collect(*child, index, pass, out);
}

TreeLayout assemble(TreeNode& root, Pass pass) {
    TreeLayout out;
    collect(root, -1, pass, out);
    return out;
}

}  // namespace

std::string elidePathMiddle(std::string_view text, int available,
                            const std::function<int(std::string_view)>& advance) {
    if (advance(text) <= available) return std::string(text);
    const std::size_t slash = text.rfind('/');
    const std::string_view tail =
        slash == std::string_view::npos ? text.substr(text.size()) : text.substr(slash);
    const std::string_view head = text.substr(0, text.size() - tail.size());
    std::string atTail = std::string(kEllipsis) + std::string(tail);
    if (!tail.empty() && advance(atTail) <= available)
        return longestFitting(head, true, available, advance, [&](std::size_t n) {
            return std::string(head.substr(0, n)) + atTail;
        });
    // The file name alone is too wide: its end is what tells pages of one folder apart.
    return longestFitting(text, false, available, advance, [&](std::size_t n) {
        return std::string(kEllipsis) + std::string(text.substr(text.size() - n));
    });
}

TreeLayout layoutTree(TreeNode& root, const MeasureText& measure, int textColumn) {
    try {
        std::unordered_map<const TreeNode*, Measured> cache;
        const TreeLayout first = assemble(root, layOut(root, {0, 0}, cache, measure, textColumn));
        // The children of the root's column reach above it; the root moves down by as much so
        // the drawing starts at the top of the scrolled area.
        TreeLayout laid = assemble(root, layOut(root, {0, -first.bounds.top}, cache, measure, textColumn));
        laid.bounds = laid.bounds.grown(kMargin);
        return laid;
    } catch (...) {
        // The caller draws from whatever it gets; an empty drawing is the one that is always
        // right, and the user can open the report again.
        return {};
    }
}

TreeNode* toggleAt(const TreeLayout& layout, Point p) {
    for (const NodeLayout& n : layout.nodes)
        if (n.toggle && n.toggle->grown(1).contains(p)) return n.node;
    return nullptr;
}

}  // namespace tw::site
