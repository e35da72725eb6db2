// Line layout of the text-drawing call.
//
// Lines end at "\r\n", "\n" or "\r" (unless single-line); a final line break opens no further line.
// Word wrapping breaks at runs of spaces, which end the line they break and take no room; a word
// wider than the rectangle is never split: it stays whole on a line of its own and is clipped (or
// shortened with an ellipsis, below).
//
// Ellipses: the word ellipsis shortens every line wider than the rectangle; the end ellipsis
// shortens the last line when it is too wide and, when further lines would fall below the
// rectangle, keeps only the lines that fit whole (at least one) and ends the last of them with
// "...", so that a cut-off text always shows that it goes on. A shortened line loses the spaces
// before its ellipsis.
#include "platform/text/TextLayout.h"
#include "platform/WinGdi.h"

namespace text {

namespace {

bool IsLineBreak(char32_t c) {
    return c == U'\n' || c == U'\r';
}

int Width(const LayoutRequest& r, int start, int end) {
    int w = 0;
    for (int i = start; i < end; i++)
        w += r.advance[i];
    return w;
}

LineSpan Plain(const LayoutRequest& r, int start, int end) {
    return LineSpan{start, end, false, Width(r, start, end)};
}

// As much of [start, end) as fits the rectangle together with "...", and the ellipsis.
LineSpan Ellipsize(const LayoutRequest& r, int start, int end, int width) {
    const int room = width - r.ellipsisWidth;
    int k = start, w = 0;
    while (k < end && w + r.advance[k] <= room)
        w += r.advance[k++];
    while (k > start && r.text[k - 1] == U' ')
        w -= r.advance[--k];
    return LineSpan{start, k, true, w + r.ellipsisWidth};
}

void Wrap(const LayoutRequest& r, int start, int end, int width, std::vector<LineSpan>* out) {
    int lineStart = start;
    for (;;) {
        int x = 0, j = lineStart;
        int breakEnd = -1, breakNext = -1; // the last place the line may end, and where the next starts
        bool wrapped = false;
        while (j < end) {
            if (r.text[j] == U' ') {
                int k = j;
                while (k < end && r.text[k] == U' ')
                    x += r.advance[k++];
                if (j > lineStart) {
                    breakEnd = j;
                    breakNext = k;
                }
                j = k;
                continue;
            }
            if (x + r.advance[j] > width && j > lineStart) {
                if (breakEnd >= 0) {
                    out->push_back(Plain(r, lineStart, breakEnd));
                    lineStart = breakNext;
                } else {
                    // A word longer than the line keeps its letters together.
                    int k = j;
                    while (k < end && r.text[k] != U' ')
                        k++;
                    out->push_back(Plain(r, lineStart, k));
                    while (k < end && r.text[k] == U' ')
                        k++;
                    lineStart = k;
                }
                wrapped = true;
                break;
            }
            x += r.advance[j++];
        }
        if (!wrapped) {
            out->push_back(Plain(r, lineStart, end));
            return;
        }
        if (lineStart >= end)
            return;
    }
}

} // namespace

std::vector<LineSpan> LayOut(const LayoutRequest& r) {
    std::vector<LineSpan> lines;
    if (r.count <= 0)
        return lines;
    const UINT f = r.format;
    const int width = r.width > 0 ? r.width : 0;
    if (f & DT_SINGLELINE) {
        lines.push_back(Plain(r, 0, r.count));
    } else {
        int start = 0;
        for (;;) {
            int end = start;
            while (end < r.count && !IsLineBreak(r.text[end]))
                end++;
            if (f & DT_WORDBREAK)
                Wrap(r, start, end, width, &lines);
            else
                lines.push_back(Plain(r, start, end));
            if (end >= r.count)
                break;
            int next = end + 1;
            if (r.text[end] == U'\r' && next < r.count && r.text[next] == U'\n')
                next++;
            if (next >= r.count)
                break;
            start = next;
        }
    }
    if (f & DT_CALCRECT)
        return lines;

    const bool endEllipsis = (f & DT_END_ELLIPSIS) != 0;
    const bool wordEllipsis = (f & DT_WORD_ELLIPSIS) != 0;
    if (endEllipsis && lines.size() > 1) {
        const int lineHeight = r.lineHeight > 0 ? r.lineHeight : 1;
        size_t fit = r.height > lineHeight ? static_cast<size_t>(r.height / lineHeight) : 1;
        if (lines.size() > fit) {
            lines.resize(fit);
            lines.back() = Ellipsize(r, lines.back().start, lines.back().end, width);
        }
    }
    for (size_t i = 0; i < lines.size(); i++) {
        LineSpan& line = lines[i];
        if (line.ellipsis || line.width <= width)
            continue;
        if (wordEllipsis || (endEllipsis && i + 1 == lines.size()))
            line = Ellipsize(r, line.start, line.end, width);
    }
    return lines;
}

} // namespace text
