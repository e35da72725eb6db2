#include "support/TestSupport.h"
#include "wceui/core/QuickString.h"
#include "wceui/core/WceUiHTList.h"
#include "wceui/core/WceUiRect.h"

#include <gtest/gtest.h>

#include <vector>

TEST(QuickString, InlineUpToItsCapacityThenHeap) {
    CQuickString s;
    EXPECT_TRUE(s.IsEmpty());
    s.SetString(u"123456789012345"); // 15 + terminator = 16
    EXPECT_TRUE(s.IsInline());
    s.SetString(u"1234567890123456");
    EXPECT_FALSE(s.IsInline());
    EXPECT_EQ(std::u16string(s.GetString()), u"1234567890123456");
    s.SetString(u"short");
    EXPECT_TRUE(s.IsInline());
    CQuickString32 wide(u"\\Residentflash2\\travlek\\wnd\\800");
    EXPECT_TRUE(wide.IsInline()); // 31 characters fit the larger buffer
    // Setting a string from a part of itself works on the inline and the heap buffer alike.
    wide.SetString(wide.GetString() + 16);
    EXPECT_EQ(std::u16string(wide.GetString()), u"travlek\\wnd\\800");
    CQuickString heap(u"a fairly long text for the heap");
    heap.SetString(heap.GetString() + 2);
    EXPECT_EQ(std::u16string(heap.GetString()), u"fairly long text for the heap");
    CQuickString copy = heap;
    heap.SetString(nullptr);
    EXPECT_EQ(std::u16string(copy.GetString()), u"fairly long text for the heap");
    EXPECT_TRUE(heap.IsEmpty());
}

namespace {
struct Node {
    int value;
    Node* pNext = nullptr;
    Node* pPre = nullptr;
};

std::vector<int> Forward(CWceUiHTListOf<Node>& list) {
    std::vector<int> out;
    for (Node* n = list.GetHead(); n; n = list.GetNext(n))
        out.push_back(n->value);
    return out;
}

std::vector<int> Backward(CWceUiHTListOf<Node>& list) {
    std::vector<int> out;
    for (Node* n = list.GetTail(); n; n = list.GetPre(n))
        out.push_back(n->value);
    return out;
}
} // namespace

TEST(IntrusiveLists, DoublyLinkedKeepsBothDirectionsConsistent) {
    Node a{1}, b{2}, c{3}, d{4};
    CWceUiHTListOf<Node> list(&Node::pNext, &Node::pPre);
    list.AddTail(&a);
    list.AddTail(&b);
    list.AddTail(&c);
    list.InsertAfter(&a, &d);
    EXPECT_EQ(Forward(list), (std::vector<int>{1, 4, 2, 3}));
    EXPECT_EQ(Backward(list), (std::vector<int>{3, 2, 4, 1}));
    EXPECT_TRUE(list.Remove(&d));
    EXPECT_EQ(d.pNext, nullptr);
    EXPECT_EQ(d.pPre, nullptr);
    EXPECT_FALSE(list.Remove(&d)); // no longer in the list
    EXPECT_EQ(list.RemoveHead(), &a);
    EXPECT_EQ(list.RemoveTail(), &c);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_TRUE(list.Remove(&b)); // the only element
    EXPECT_EQ(list.GetHead(), nullptr);
    EXPECT_EQ(list.GetTail(), nullptr);
    EXPECT_EQ(list.GetCount(), 0);
    testsupport::LogCapture log;
    EXPECT_FALSE(list.Remove(&a));
    EXPECT_EQ(list.RemoveHead(), nullptr);
    EXPECT_TRUE(log.Contains(u"CWceUiHTList::RemoveHead,check(NULL != m_pHead)fail"));
}

TEST(IntrusiveLists, SinglyLinkedAddsAtTheHeadAndRemovesAnywhere) {
    Node a{1}, b{2}, c{3}, stranger{9};
    CWceUiHListOf<Node> list(&Node::pNext);
    list.AddHead(&a);
    list.AddHead(&b);
    list.AddHead(&c);
    EXPECT_EQ(list.GetHead(), &c);
    EXPECT_TRUE(list.Remove(&b));
    EXPECT_EQ(list.GetNext(&c), &a);
    EXPECT_FALSE(list.Remove(&stranger));
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(IntrusiveLists, SameOffsetsForBothLinksAreReported) {
    testsupport::LogCapture log;
    CWceUiHTList broken(8, 8);
    EXPECT_TRUE(log.Contains(u"CWceUiHTList::CWceUiHTList,check(m_nPreOffset != m_nNextOffset)fail"));
}

TEST(UnboundedRectangle, OnlyTheExactValuesCount) {
    RECT r;
    SetRectLarge(&r);
    EXPECT_TRUE(IsRectLarge(&r));
    EXPECT_EQ(r.left, -65535);
    EXPECT_EQ(r.bottom, 65535);
    r.right = 65534;
    EXPECT_FALSE(IsRectLarge(&r));
    testsupport::LogCapture log;
    EXPECT_FALSE(IsRectLarge(nullptr));
    EXPECT_TRUE(log.Contains(u"IsRectLarge,check(NULL != lpRect)fail"));
}
