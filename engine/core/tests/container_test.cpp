#include "engine/core/container.h"
#include "engine/core/type_tag.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kTagNode = MakeTag("NODE");
constexpr uint32_t kTagMesh = MakeTag("MMES");
constexpr uint32_t kTagTexture = MakeTag("CI32");

class Node : public CVTN_Container {
public:
    explicit Node(std::string name, std::vector<std::string>* deleted = nullptr)
        : name(std::move(name)), m_deleted(deleted)
    {
        AddTypeTag(kTagNode);
    }
    ~Node() override
    {
        if (m_deleted != nullptr)
            m_deleted->push_back(name);
    }
    const std::string name;

private:
    std::vector<std::string>* m_deleted;
};

class Mesh : public Node {
public:
    explicit Mesh(std::string name) : Node(std::move(name)) { AddTypeTag(kTagMesh); }
};

// Hears notifications and records (code, sender's name).
class Listener : public CVTN_Container {
public:
    void Notify(uint32_t code, CVTN_Container* sender) override
    {
        const auto* node = dynamic_cast<const Node*>(sender);
        heard.emplace_back(code, node != nullptr ? node->name : std::string("?"));
        if (onNotify)
            onNotify();
    }
    std::vector<std::pair<uint32_t, std::string>> heard;
    std::function<void()> onNotify;
};

std::vector<std::string> PreOrder(const CVTN_Container* root)
{
    std::vector<std::string> names;
    for (const CVTN_Container* c = root; c != nullptr; c = c->GetNextInTree(root))
        names.push_back(static_cast<const Node*>(c)->name);
    return names;
}

TEST(ContainerTags, KindIsTheOwnTagOrABaseTag)
{
    const Mesh mesh("m");
    EXPECT_EQ(mesh.GetTag(), kTagMesh);
    EXPECT_TRUE(mesh.IsKindOf(kTagMesh));
    EXPECT_TRUE(mesh.IsKindOf(kTagNode));
    EXPECT_FALSE(mesh.IsKindOf(kTagTexture));
    const CVTN_Container bare;
    EXPECT_EQ(bare.GetTag(), 0u);
    EXPECT_FALSE(bare.IsKindOf(kTagNode));
}

TEST(ContainerTree, GetNextInTreeIsPreOrderWithinTheSubtree)
{
    // root has a (with b, c) and d (with e).
    Node root("root");
    auto* a = new Node("a");
    auto* d = new Node("d");
    root.AddChild(a);
    root.AddChild(d);
    a->AddChild(new Node("b"));
    a->AddChild(new Node("c"));
    d->AddChild(new Node("e"));
    EXPECT_EQ(PreOrder(&root), (std::vector<std::string>{"root", "a", "b", "c", "d", "e"}));
    EXPECT_EQ(PreOrder(a), (std::vector<std::string>{"a", "b", "c"})); // stops below a, never reaches d
    EXPECT_EQ(PreOrder(d), (std::vector<std::string>{"d", "e"}));
}

TEST(ContainerTree, SecondChildListIsApartFromTheWalkedTree)
{
    Node root("root");
    auto* kept = new Node("kept");
    root.AddChild(new Node("a"));
    root.AddChild(kept, 1);
    kept->AddChild(new Node("under-kept"));
    EXPECT_EQ(PreOrder(&root), (std::vector<std::string>{"root", "a"}));
    EXPECT_EQ(root.GetFirstChild(1), kept);
    EXPECT_EQ(kept->GetChildList(), 1);
    EXPECT_EQ(root.CountChildren(0), 1u);
    EXPECT_EQ(root.CountChildren(1), 1u);
    EXPECT_EQ(PreOrder(kept), (std::vector<std::string>{"kept", "under-kept"}));
}

TEST(ContainerTree, AddChildRefusesCyclesAndSecondParents)
{
    Node root("root");
    auto* child = new Node("child");
    ASSERT_TRUE(root.AddChild(child));
    EXPECT_FALSE(child->AddChild(&root)); // root is its ancestor
    EXPECT_FALSE(root.AddChild(&root));
    Node other("other");
    EXPECT_FALSE(other.AddChild(child)); // already has a parent
    EXPECT_EQ(child->GetParent(), &root);
    Node unlisted("unlisted");
    EXPECT_FALSE(other.AddChild(&unlisted, 2));
    EXPECT_EQ(unlisted.GetParent(), nullptr);
}

TEST(ContainerTree, DetachUnlinksWithoutDeleting)
{
    std::vector<std::string> deleted;
    Node root("root");
    auto* a = new Node("a", &deleted);
    auto* b = new Node("b", &deleted);
    auto* c = new Node("c", &deleted);
    root.AddChild(a);
    root.AddChild(b);
    root.AddChild(c);
    EXPECT_TRUE(b->Detach());
    EXPECT_FALSE(b->Detach());
    EXPECT_EQ(b->GetParent(), nullptr);
    EXPECT_EQ(a->GetNextSibling(), c);
    EXPECT_EQ(c->GetPrevSibling(), a);
    EXPECT_TRUE(a->Detach());
    EXPECT_TRUE(c->Detach());
    EXPECT_EQ(root.GetFirstChild(), nullptr);
    EXPECT_EQ(root.GetLastChild(), nullptr);
    EXPECT_TRUE(deleted.empty());
    delete a;
    delete b;
    delete c;
}

TEST(ContainerTree, DestructorDeletesEveryDescendantDeepestFirst)
{
    std::vector<std::string> deleted;
    {
        auto* root = new Node("root", &deleted);
        auto* a = new Node("a", &deleted);
        root->AddChild(a);
        a->AddChild(new Node("b", &deleted));
        root->AddChild(new Node("c", &deleted), 1);
        Node holder("holder");
        holder.AddChild(root);
        delete root; // leaves holder first
        EXPECT_EQ(holder.GetFirstChild(), nullptr);
    }
    // root's own destructor body runs first, as C++ has it; below it the deepest go first.
    EXPECT_EQ(deleted, (std::vector<std::string>{"root", "b", "a", "c"}));
}

// A recursive destructor would delete the chain from the top down (and run out of stack on the way); the loop
// deletes from the deepest node up, each node childless when it goes.
TEST(ContainerTree, VeryDeepChainIsDeletedWithoutRecursion)
{
    constexpr int kDepth = 200000; // far deeper than a recursive destructor's stack allows
    std::vector<std::string> deleted;
    deleted.reserve(kDepth + 1);
    auto* root = new Node("root", &deleted);
    CVTN_Container* tip = root;
    for (int i = 1; i <= kDepth; ++i) {
        auto* next = new Node(std::to_string(i), &deleted);
        tip->AddChild(next);
        tip = next;
    }
    delete root;
    ASSERT_EQ(deleted.size(), static_cast<size_t>(kDepth) + 1);
    EXPECT_EQ(deleted.front(), "root"); // its own destructor body runs before it deletes what it holds
    for (int k = 1; k <= kDepth; ++k)
        if (deleted[static_cast<size_t>(k)] != std::to_string(kDepth + 1 - k)) {
            ADD_FAILURE() << "deletion " << k << " was node " << deleted[static_cast<size_t>(k)];
            break;
        }
}

TEST(ContainerListeners, ListenerHearsCodesFromSendersOfItsTagOnce)
{
    Listener listener;
    ASSERT_TRUE(listener.RegisterListener(kNotifyChanged, kTagMesh));
    ASSERT_TRUE(listener.RegisterListener(kNotifyChanged, kTagNode)); // a mesh matches both: heard once
    EXPECT_FALSE(listener.RegisterListener(kNotifyChanged, kTagNode));
    Mesh mesh("mesh");
    Node node("node");
    mesh.NotifyListeners(kNotifyChanged);
    node.NotifyListeners(kNotifyChanged);
    node.NotifyListeners(kNotifyBeforeRender); // not registered for this code
    using Heard = std::vector<std::pair<uint32_t, std::string>>;
    EXPECT_EQ(listener.heard, (Heard{{kNotifyChanged, "mesh"}, {kNotifyChanged, "node"}}));

    EXPECT_TRUE(listener.UnregisterListener(kNotifyChanged, kTagNode));
    EXPECT_FALSE(listener.UnregisterListener(kNotifyChanged, kTagNode));
    listener.heard.clear();
    node.NotifyListeners(kNotifyChanged);
    mesh.NotifyListeners(kNotifyChanged);
    EXPECT_EQ(listener.heard, (Heard{{kNotifyChanged, "mesh"}}));
}

TEST(ContainerListeners, TagZeroHearsEverySenderButNeverItself)
{
    Listener listener;
    listener.RegisterListener(kNotifyAfterRender, 0);
    Node node("node");
    node.NotifyListeners(kNotifyAfterRender);
    listener.NotifyListeners(kNotifyAfterRender);
    EXPECT_EQ(listener.heard.size(), 1u);
}

TEST(ContainerListeners, ContentsChangedSentToAnObjectReachesItsListenersAsChanged)
{
    Listener listener;
    listener.RegisterListener(kNotifyChanged, kTagMesh);
    Mesh mesh("mesh");
    mesh.Notify(kNotifyContentsChanged, nullptr);
    ASSERT_EQ(listener.heard.size(), 1u);
    EXPECT_EQ(listener.heard[0].first, kNotifyChanged);
}

TEST(ContainerListeners, ChildAddedAndDetachingAreSentByTheChild)
{
    Listener listener;
    listener.RegisterListener(kNotifyChildAdded, kTagMesh);
    listener.RegisterListener(kNotifyDetaching, kTagMesh);
    Node root("root");
    auto* mesh = new Mesh("mesh");
    CVTN_Container* parentWhenDetaching = nullptr;
    listener.onNotify = [&] { parentWhenDetaching = mesh->GetParent(); };
    root.AddChild(mesh);
    root.AddChild(new Node("plain")); // not a mesh: not heard
    mesh->Detach();
    using Heard = std::vector<std::pair<uint32_t, std::string>>;
    EXPECT_EQ(listener.heard, (Heard{{kNotifyChildAdded, "mesh"}, {kNotifyDetaching, "mesh"}}));
    EXPECT_EQ(parentWhenDetaching, &root); // told before it leaves
    delete mesh;
}

TEST(ContainerListeners, DeletedListenerIsNeverCalled)
{
    int deletedCalls = 0; // outside the listener, so it can still be read after the listener is gone
    auto* listener = new Listener;
    listener->onNotify = [&deletedCalls] { ++deletedCalls; };
    listener->RegisterListener(kNotifyChanged, kTagNode);
    Listener witness; // shows that the notification did go out
    witness.RegisterListener(kNotifyChanged, kTagNode);
    delete listener; // the destructor removes its registrations
    Node node("node");
    node.NotifyListeners(kNotifyChanged); // would reach freed memory otherwise
    EXPECT_EQ(deletedCalls, 0);
    EXPECT_EQ(witness.heard.size(), 1u);
}

TEST(ContainerListeners, ListenerMayRemoveAnotherDuringANotification)
{
    Listener first;
    auto* second = new Listener;
    first.RegisterListener(kNotifyChanged, kTagNode);
    second->RegisterListener(kNotifyChanged, kTagNode);
    first.onNotify = [&] {
        delete second; // later in the table than first
        second = nullptr;
    };
    Node node("node");
    node.NotifyListeners(kNotifyChanged);
    EXPECT_EQ(first.heard.size(), 1u);
    EXPECT_EQ(second, nullptr);
    first.onNotify = nullptr;
    node.NotifyListeners(kNotifyChanged);
    EXPECT_EQ(first.heard.size(), 2u);
}

} // namespace
