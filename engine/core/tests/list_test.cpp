#include "engine/core/data_node.h"
#include "engine/core/list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// Records its destruction, so tests see that the list deleted it through the virtual destructor.
class TrackedNode : public SWlistnode {
public:
    TrackedNode(int id, std::vector<int>& deleted) : id(id), m_deleted(deleted) {}
    ~TrackedNode() override { m_deleted.push_back(id); }
    const int id;

private:
    std::vector<int>& m_deleted;
};

std::vector<int> Ids(const SWlist& list)
{
    std::vector<int> ids;
    for (SWlistnode* node = list.Head(); node != nullptr; node = node->Next())
        ids.push_back(static_cast<TrackedNode*>(node)->id);
    return ids;
}

std::vector<int> IdsBackwards(const SWlist& list)
{
    std::vector<int> ids;
    for (SWlistnode* node = list.Tail(); node != nullptr; node = node->Prev())
        ids.insert(ids.begin(), static_cast<TrackedNode*>(node)->id);
    return ids;
}

TEST(List, AddAndInsertKeepOrderInBothDirections)
{
    std::vector<int> deleted;
    SWlist list;
    auto* two = new TrackedNode(2, deleted);
    list.AddTail(two);
    list.AddHead(new TrackedNode(0, deleted));
    list.AddTail(new TrackedNode(4, deleted));
    list.InsertBefore(two, new TrackedNode(1, deleted));
    list.InsertAfter(two, new TrackedNode(3, deleted));
    list.InsertBefore(nullptr, new TrackedNode(5, deleted)); // null: at the tail
    list.InsertAfter(nullptr, new TrackedNode(-1, deleted)); // null: at the head
    list.AddTail(nullptr);                                   // ignored
    EXPECT_EQ(Ids(list), (std::vector<int>{-1, 0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(IdsBackwards(list), Ids(list));
    EXPECT_EQ(list.Count(), 7u);
    EXPECT_TRUE(deleted.empty());
}

TEST(List, RemoveUnlinksWithoutDeleting)
{
    std::vector<int> deleted;
    SWlist list;
    auto* head = new TrackedNode(1, deleted);
    auto* middle = new TrackedNode(2, deleted);
    auto* tail = new TrackedNode(3, deleted);
    list.AddTail(head);
    list.AddTail(middle);
    list.AddTail(tail);
    for (SWlistnode* node :
         {static_cast<SWlistnode*>(middle), static_cast<SWlistnode*>(head), static_cast<SWlistnode*>(tail)}) {
        EXPECT_TRUE(list.Remove(node));
        EXPECT_FALSE(node->IsLinked());
        EXPECT_EQ(node->Next(), nullptr);
        EXPECT_EQ(node->Prev(), nullptr);
    }
    EXPECT_EQ(list.Head(), nullptr);
    EXPECT_EQ(list.Tail(), nullptr);
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_FALSE(list.Remove(head)); // not in the list any more
    EXPECT_TRUE(deleted.empty());
    delete head;
    delete middle;
    delete tail;
}

TEST(List, DeleteAndDestructionGoThroughTheVirtualDestructor)
{
    std::vector<int> deleted;
    {
        SWlist list;
        auto* doomed = new TrackedNode(2, deleted);
        list.AddTail(new TrackedNode(1, deleted));
        list.AddTail(doomed);
        list.AddTail(new TrackedNode(3, deleted));
        EXPECT_TRUE(list.Delete(doomed));
        EXPECT_EQ(deleted, std::vector<int>{2});
        EXPECT_EQ(Ids(list), (std::vector<int>{1, 3}));

        SWlist other;
        auto* stranger = new TrackedNode(9, deleted);
        other.AddTail(stranger);
        EXPECT_FALSE(list.Delete(stranger)); // owned by another list: left alone
        EXPECT_EQ(other.Count(), 1u);
    }
    EXPECT_EQ(deleted, (std::vector<int>{2, 9, 1, 3}));
}

TEST(List, DeleteAllEmptiesTheListHeadFirst)
{
    std::vector<int> deleted;
    SWlist list;
    for (int id = 1; id <= 3; ++id)
        list.AddTail(new TrackedNode(id, deleted));
    list.DeleteAll();
    EXPECT_EQ(deleted, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(list.Count(), 0u);
    EXPECT_EQ(list.Head(), nullptr);
    list.AddTail(new TrackedNode(4, deleted)); // still usable
    EXPECT_EQ(list.Count(), 1u);
}

TEST(List, AddChainMovesEveryElementInOrder)
{
    std::vector<int> deleted;
    SWlist list;
    SWlist chain;
    list.AddTail(new TrackedNode(1, deleted));
    chain.AddTail(new TrackedNode(2, deleted));
    chain.AddTail(new TrackedNode(3, deleted));
    list.AddChain(chain);
    EXPECT_EQ(Ids(list), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(IdsBackwards(list), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(chain.Empty());
    EXPECT_EQ(chain.Head(), nullptr);
    EXPECT_TRUE(list.Contains(list.Tail()));

    SWlist moved(std::move(list));
    EXPECT_EQ(Ids(moved), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(moved.Contains(moved.Head()));
    EXPECT_EQ(list.Count(), 0u);
}

TEST(List, NodeDeletedDirectlyLeavesItsList)
{
    std::vector<int> deleted;
    SWlist list;
    auto* first = new TrackedNode(1, deleted);
    list.AddTail(first);
    list.AddTail(new TrackedNode(2, deleted));
    delete first;
    EXPECT_EQ(Ids(list), std::vector<int>{2});
    EXPECT_EQ(list.Head()->Prev(), nullptr);
}

TEST(List, NodeWhoseDestructorDeletesASiblingIsSafe)
{
    // An element owning the next one deletes it when it goes: DeleteAll must not walk a stale link.
    struct Owner : SWlistnode {
        SWlistnode* owned = nullptr;
        ~Owner() override { delete owned; }
    };
    std::vector<int> deleted;
    SWlist list;
    auto* owner = new Owner;
    owner->owned = new TrackedNode(2, deleted);
    list.AddTail(owner);
    list.AddTail(owner->owned);
    list.AddTail(new TrackedNode(3, deleted));
    list.DeleteAll();
    EXPECT_EQ(deleted, (std::vector<int>{2, 3}));
    EXPECT_TRUE(list.Empty());
}

TEST(DataNode, NewNodeHoldsANullObject)
{
    const SWdatanode node;
    EXPECT_EQ(node.GetType(), SWdatanode::kObject);
    EXPECT_EQ(node.GetData(SWdatanode::kObject), nullptr);
    EXPECT_EQ(node.GetData(SWdatanode::kString), nullptr);
    EXPECT_EQ(node.GetData(SWdatanode::kInt), nullptr);
}

TEST(DataNode, GetDataAnswersOnlyForTheStoredType)
{
    SWdatanode node;
    const int32_t cursorId = -42;
    ASSERT_TRUE(node.SetData(&cursorId, SWdatanode::kInt, false));
    ASSERT_NE(node.GetData(SWdatanode::kInt), nullptr);
    EXPECT_EQ(*static_cast<const int32_t*>(node.GetData(SWdatanode::kInt)), -42);
    EXPECT_EQ(node.GetData(SWdatanode::kByte), nullptr);
    EXPECT_EQ(node.GetData(SWdatanode::kString), nullptr);
    EXPECT_EQ(node.GetData(SWdatanode::kObject), nullptr);

    const uint8_t flag = 7;
    node.SetData(&flag, SWdatanode::kByte, false);
    EXPECT_EQ(*static_cast<const uint8_t*>(node.GetData(SWdatanode::kByte)), 7);
    EXPECT_EQ(node.GetData(SWdatanode::kInt), nullptr);

    int object = 0;
    node.SetData(&object, SWdatanode::kObject, false);
    EXPECT_EQ(node.GetData(SWdatanode::kObject), &object);

    EXPECT_FALSE(node.SetData(&object, 4, false)); // unknown type: nothing changes
    EXPECT_EQ(node.GetData(SWdatanode::kObject), &object);
}

TEST(DataNode, CopiedTextIsOwnedAndKeptTextIsShared)
{
    char text[] = "Sphere01";
    SWdatanode copied;
    copied.SetData(text, SWdatanode::kString, true);
    SWdatanode kept;
    kept.SetData(text, SWdatanode::kString, false);
    text[0] = 'X';
    EXPECT_STREQ(copied.GetText(), "Sphere01");
    EXPECT_EQ(kept.GetText(), text);

    copied.SetText(copied.GetText(), true); // from its own copy
    EXPECT_STREQ(copied.GetText(), "Sphere01");

    SWdatanode null;
    null.SetText(nullptr, true);
    EXPECT_EQ(null.GetType(), SWdatanode::kString);
    EXPECT_EQ(null.GetData(SWdatanode::kString), nullptr);
}

TEST(DataNode, CopyOwnsItsOwnTextAndStartsUnlinked)
{
    SWlist list;
    auto* original = new SWdatanode;
    original->SetText("Camera", true);
    list.AddTail(original);
    const SWdatanode copy(*original);
    EXPECT_FALSE(copy.IsLinked());
    list.DeleteAll(); // the original's text goes with it
    EXPECT_STREQ(copy.GetText(), "Camera");
}

} // namespace
